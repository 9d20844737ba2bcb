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
// A version block as the system's version reader hands it back (the buffer of the size it
// asked for, the resource in its first half): the root and every node a query walks through
// lie within their parent, with the key terminated and the value inside the node. The query
// writes its ANSI copies behind the root, so a root longer than the resource writes past the
// buffer. Blocks in the 16-bit form (from programs this system cannot run) are refused.
bool VersionBlockSound(const std::string& block);

// The same for a link on disk; a file that cannot be read is refused.
bool ShortcutFileSound(const char* path);
