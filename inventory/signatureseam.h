// The system calls behind the publisher check's catalog look-up, so that tests can stand in
// for a system catalog (a test machine has none that lists a file of ours).
#pragma once
#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <mscat.h>

struct CatalogCalls {
    // Windows 8's SHA-256 generation; either may be null (older systems), then the first is used.
    BOOL(WINAPI* acquire2)(HCATADMIN*, const GUID*, const WCHAR*, const CERT_STRONG_SIGN_PARA*, DWORD);
    BOOL(WINAPI* hash2)(HCATADMIN, HANDLE, DWORD*, BYTE*, DWORD);
    BOOL(WINAPI* acquire)(HCATADMIN*, const GUID*, DWORD);
    BOOL(WINAPI* hash)(HANDLE, DWORD*, BYTE*, DWORD);
    HCATINFO(WINAPI* enumFromHash)(HCATADMIN, BYTE*, DWORD, DWORD, HCATINFO*);
    BOOL(WINAPI* catalogInfo)(HCATINFO, CATALOG_INFO*, DWORD);
    BOOL(WINAPI* releaseCatalog)(HCATADMIN, HCATINFO, DWORD);
    BOOL(WINAPI* releaseAdmin)(HCATADMIN, DWORD);
    // Every trust provider run, for the file itself as for a catalog.
    LONG(WINAPI* verifyTrust)(HWND, GUID*, LPVOID);
};

// The calls checks make from now on (nullptr: the system's). A catalog context is released
// through the calls that acquired it, whatever is set meanwhile.
void SetCatalogCalls(const CatalogCalls* calls);
// The system's calls, for a stand-in that passes some of them on.
const CatalogCalls& SystemCatalogCalls();
