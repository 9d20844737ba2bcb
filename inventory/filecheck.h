#pragma once
#include <string>

// Structure checks for files handed to the system's own readers, which trust what they read.
// A file refused here is treated as one that cannot be read; nothing is changed on disk.

// A shell link whose header, target ID list, link info, strings and extra data blocks all
// lie within the file and agree with their sizes.
bool ShortcutBytesSound(const std::string& bytes);
// A work item (.job) whose fixed section, strings, user and reserved data and triggers all
// lie within the file where its header's offsets say, with dates and trigger kinds in range.
bool JobBytesSound(const std::string& bytes);

// The same for a link on disk; a file that cannot be read is refused.
bool ShortcutFileSound(const char* path);
