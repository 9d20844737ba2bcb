// Version-resource texts of a program file.
#pragma once

enum VersionSlot {
    VS_PRODUCT_NAME,
    VS_PRODUCT_VERSION,
    VS_COMPANY_NAME,
    VS_FILE_DESCRIPTION,
    VS_LEGAL_COPYRIGHT,
    VS_SLOT_COUNT
};

// Five slots of 1024 characters; each text is at most 127 characters.
struct VersionStrings {
    char slot[VS_SLOT_COUNT][1024];
};

// Fills all five slots; 1 when a product name was found, else 0 (slots empty).
int GetVersionStrings(const char* path, VersionStrings* out);

// "<monitor ProductVersion>[:<explorer ProductVersion>]" for the trace and reports.
void GetProgramVersionText(char* out, int capacity);

// While one lives on a thread, that thread's GetVersionStrings reads each file once: a report
// or a service listing asks about the same few programs for thousands of entries. Nested
// scopes share the outer one's answers.
struct VersionCacheScope {
    VersionCacheScope();
    ~VersionCacheScope();
    VersionCacheScope(const VersionCacheScope&) = delete;
    VersionCacheScope& operator=(const VersionCacheScope&) = delete;
    bool owner;
};
