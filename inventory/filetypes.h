// File type associations of the watched extensions: the watch list, the snapshot of which
// program opens each extension, the current associations and the rule that says one changed.
#pragma once
#include "entrylist.h"
#include <string>

#define KX_CLASS_KEY "Software\\Orvane\\Kestrix\\Class"          // watch list + snapshot commands
#define KX_EXT_KEY "Software\\Orvane\\Kestrix\\Ext"              // kind 1 classes
#define KX_EXTAPP_KEY "Software\\Orvane\\Kestrix\\ExtApp"        // kind 2 applications
#define KX_EXTPROGID_KEY "Software\\Orvane\\Kestrix\\ExtProgID"  // kind 3 ProgIDs
#define KX_CLASSCOMMAND_KEY "Software\\Orvane\\Kestrix\\ClassCommand"  // snapshot commands as written
#define KX_EXTTYPE_KEY "Software\\Orvane\\Kestrix\\ExtType"
#define KX_FILEEXTS_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts"

// The three places an extension is associated: the machine's class (1), the user's
// Application (2) and the user's ProgID (3).
enum FileTypeKind { FT_CLASS = 1, FT_APPLICATION = 2, FT_PROGID = 3 };

// Class name and open command of one kind (each at most 259 characters); 0 when either is
// missing. The extension may carry its dot or not.
int ResolveFileType(const char* extension, int kind, char* className /*260*/,
                    char* command /*260*/);
// Clears the entry list and fills it, one TYPE_FILETYPE entry per extension and kind that
// resolves (detail = ".EXT" as watched, tag = kind); the count.
int ListFileTypes();
// The snapshot-of-class key of a kind, nullptr for another number.
const char* SnapshotClassKey(int kind);
// Records the present class and command of one kind; 1 when it resolved and was kept. A
// machine class is kept only in the machine's data folder: 0 with the refusal noted when
// that folder refuses the write.
int SnapshotFileType(const char* extensionWithDot, int kind);
// Snapshot class and command recorded for an extension and kind (empty when none). The
// command is the one to put back: as it was written, or re-quoted when only its quote-free
// form was kept.
void ReadFileTypeSnapshot(const char* extensionWithDot, int kind, char* className /*260*/,
                          std::string* command);
// Makes the snapshot (and the watch list) when there is none; the count snapshotted.
int CreateClassInfo();
// True when a listed entry has the class as its source.
int ClassInUse(const char* className);
// The monitor's comparison for one listed entry. A newly watched extension is snapshotted
// and counts as unchanged.
int FileTypeChanged(const EntryRecord& entry);
// Icon of an extension for the explorer's page: file and index.
void FileTypeIcon(const char* extension, int kind, char* file /*260*/, int* index);
// What the page's program column shows for an open command.
void FileTypeProgramText(const char* command, char* out, int capacity);
