// A file read whole into memory, for the small files that are parsed at once (cookie lists,
// job files, shortcuts).
#pragma once
#include <string>

// The whole file; 0 when it cannot be read or holds more than 256 MB.
int ReadWholeFile(const char* path, std::string* out);
