// Test helper: a fixture folder copied whole, so that a test may change the copy.
#pragma once
#include <string>

// Copies every file and folder below from into to (made when missing); whether all copied.
bool CopyFolderTree(const std::string& from, const std::string& to);
