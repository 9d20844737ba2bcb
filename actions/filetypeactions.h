// What the user changes about the file-type watch: the watched extensions, and putting a
// changed association back from its snapshot.
#pragma once

// Adds an extension typed by the user (with or without its dot) and snapshots it. 0 on
// success, 762 when it is already watched, 763 when the list is full (the string numbers).
int AddWatchedExtension(const char* text);
// Stops watching an extension (without its dot) and forgets its snapshot.
void RemoveWatchedExtension(const char* extension);
// Writes the snapshot of one kind back into the association; 0 when there is none.
int RestoreFileType(const char* extensionWithDot, int kind);
