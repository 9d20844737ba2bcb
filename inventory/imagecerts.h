// A program image's own signature table (the certificate table of its data directories), read
// and bounds-checked by us before any system reader is given the file: the system's readers
// trust the sizes inside, and a damaged file must neither crash the program nor pass for
// merely untrusted.
#pragma once
#include <windows.h>

enum ImageCertificates {
    IMAGE_CERTS_NOT_IMAGE,   // no "MZ": another format, with signatures of its own kind
    IMAGE_CERTS_NONE,        // a sound image without a certificate table
    IMAGE_CERTS_SOUND,       // a sound image whose table's entries lie inside it, well formed
    IMAGE_CERTS_DAMAGED,     // a table is there but out of bounds, cut or garbled
    IMAGE_CERTS_BAD_IMAGE,   // "MZ", but headers no loader would take; no table to be found
};

// Reads the file's headers and table through its handle (the file position is left at 0).
int ExamineImageCertificates(HANDLE file);
