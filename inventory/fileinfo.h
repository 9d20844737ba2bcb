// File times, sizes and the information record of a program file.
#pragma once

// "YYYY/MM/DD hh:mm" of the creation time in local time (out: 32); empty when the times
// cannot be read. Always 1.
int CreationTimeText(const char* path, char* out);
// Size as "%d" (low 32 bits) and the last-write time in the user's format (each 32);
// 0 when the file cannot be opened.
int GetSizeAndDate(const char* path, char* size, char* date);

// The five texts of the program information dialog.
struct FileInfoRecord {
    char created[24];
    char accessed[24];
    char written[24];
    char firstSeen[24];
    char size[24];
};

// Fills the record; the first-seen date is looked up for the path's program under the
// entry type. 1 when the file could be opened.
int GetFileInformation(const char* path, int type, FileInfoRecord* out);
