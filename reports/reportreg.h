// Registry reading as the reports need it: whole values of any length and the names of a
// key's subkeys and values.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// A value as text: strings (expanded), the first string of a multi-string, a DWORD as its
// decimal number. Empty when missing or of another type.
std::string ReportValue(HKEY root, const std::string& path, const char* name);
std::vector<std::string> SubkeyNames(HKEY root, const std::string& path);
std::vector<std::string> ValueNames(HKEY root, const std::string& path);
