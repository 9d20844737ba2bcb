// The user's answer to a changed system file: accept the new file (it becomes the saved
// copy) or put the saved copy back.
#pragma once

// Location of a record; its length (0 when the record has none).
int SysFileLocation(const char* name, char* out, int capacity);
// Each returns 1 when the file copy succeeded, 0 with the last error set. stopWatching
// leaves the record without a location, so the patrol passes it over.
int AcceptSysFile(const char* name, const char* path, int stopWatching);
// The file as it is now is kept beside the saved copy first (name + ".previous"), so that
// putting back can itself be undone; a saved copy that is missing or unreadable leaves the
// file alone.
int RestoreSysFile(const char* name, const char* path, int stopWatching);
// The same for a record by its name alone (at its recorded location); 0 with
// ERROR_FILE_NOT_FOUND when the record has no location.
int AcceptSysFileChange(const char* recordName, int stopWatching);
int RejectSysFileChange(const char* recordName, int stopWatching);
