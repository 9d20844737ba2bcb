// Registry reading as the reports need it: whole values of any length and the names of a
// key's subkeys and values.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// A value as text: strings (expanded), the first string of a multi-string, a DWORD as its
// decimal number. Empty when missing or of another type. view: 0, or KEY_WOW64_32KEY for the
// keys 64-bit Windows keeps for 32-bit programs.
std::string ReportValue(HKEY root, const std::string& path, const char* name, REGSAM view = 0);
std::vector<std::string> SubkeyNames(HKEY root, const std::string& path, REGSAM view = 0);
std::vector<std::string> ValueNames(HKEY root, const std::string& path, REGSAM view = 0);
