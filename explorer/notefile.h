// Note files of programs and the delete-at-restart of a file.
#pragma once

// "note_<name>.txt" of the program path, in the program folder when it exists there, else
// in the data folder. The length.
int NoteFilePath(const char* programPath, char* out, int capacity);
// Clears the file's attributes and schedules its deletion at the next restart; 1 when done.
int DeleteFileAtRestart(const char* path);
