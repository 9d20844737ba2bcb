// The machine-wide settings the monitor guards on the browser's behalf: the Windows
// automatic-update setting and the browser's default address prefix, with the copies the
// user approved under Software\Orvane\Kestrix.
#pragma once
#include <windows.h>

#define KX_AUTOUPDATE_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update"
#define KX_PREFIXES_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes"
#define KX_DEFAULT_PREFIX_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix"

// A number value; 1 only when it exists and holds a 32-bit number (a REG_DWORD, or 4 bytes
// of binary data as older tools wrote it).
int ReadRegDword(HKEY root, const char* path, const char* name, DWORD* out);

// HKLM AUOptions; 1 when read.
int ReadSystemAUOption(DWORD* out);
// The approved copy (HKCU Software\Orvane\Kestrix AUOptions); 1 when read.
int ReadAUOptionCopy(DWORD* out);
int StoreAUOptionCopy(DWORD value);
int WriteSystemAUOption(DWORD value);
// Takes the system setting as the approved copy when there is no copy yet; a setting that
// could not be read is never taken.
void CopyAutoUpdateSetting();
// Writes the approved copy into the system setting; only a copy that was read and is a
// setting (1 to 4) is written. 1 when written; when Windows refuses, the setting found is
// remembered as refused (see below).
int RestoreAUOptionFromCopy();

// A put-back Windows refused (no rights) is asked about once: the system's value that could
// not be changed is kept under the user's key, and while the setting still holds it the
// monitor does not ask again. A different value asks again.
int IsRefusedAUOption(DWORD system);
int IsRefusedUrlPrefix(const char* system);

// The approved prefix: wwwPrefix, or string 1061 "http://" when there is none (out: 256).
void StoredUrlPrefix(char* out, int capacity);
// The system's "www" prefix; 1 when present.
int ReadSystemUrlPrefix(char* out, int capacity);
// Writes the prefix as "www" under Prefixes and as the default of DefaultPrefix; 1 when both
// were written, and neither is changed when one cannot be.
int WriteSystemUrlPrefix(const char* prefix);
// Writes the approved prefix into the system's two places; a refused write is remembered.
int RestoreUrlPrefixFromCopy();
