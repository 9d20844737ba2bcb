#include "shortcut.h"
#include "filecheck.h"
#include "handles.h"
#include "resstring.h"
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <shlwapi.h>

// Keeps critical-error boxes away while a link to a missing drive is resolved.
class ErrorModeScope {
public:
    ErrorModeScope() : old_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~ErrorModeScope() { SetErrorMode(old_); }
    ErrorModeScope(const ErrorModeScope&) = delete;
    ErrorModeScope& operator=(const ErrorModeScope&) = delete;

private:
    UINT old_;
};

static const DWORD kResolveTimeoutMs = 500;

long ResolveShortcut(const char* shortcut, char* target, char* description)
{
    target[0] = 0;
    description[0] = 0;
    // The shell's link reader trusts the sizes inside the file; a damaged link can crash it.
    if (!ShortcutFileSound(shortcut))
        return E_FAIL;
    ErrorModeScope quiet;
    ComScope com;

    ComPtr<IShellLinkA> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IShellLinkA, link.outVoid());
    if (FAILED(hr))
        return hr;
    ComPtr<IPersistFile> file;
    hr = link->QueryInterface(IID_IPersistFile, file.outVoid());
    if (FAILED(hr))
        return hr;
    WCHAR wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, shortcut, -1, wide, MAX_PATH))
        return E_INVALIDARG;
    hr = file->Load(wide, STGM_READ);
    if (FAILED(hr))
        return hr;

    hr = link->Resolve(nullptr, SLR_NO_UI | (kResolveTimeoutMs << 16));
    if (FAILED(hr))
        return hr;
    if (hr != S_OK) {
        LoadResString(730, description, 1024);
        return hr;
    }
    char text[MAX_PATH] = "";
    hr = link->GetDescription(text, MAX_PATH);
    if (FAILED(hr))
        return hr;
    lstrcpynA(description, text, 1024);
    WIN32_FIND_DATAA data;
    hr = link->GetPath(target, MAX_PATH, &data, SLGP_SHORTPATH);
    if (FAILED(hr)) {
        target[0] = 0;
        description[0] = 0;
        return hr;
    }
    // Some shells report success for a target that is gone; a missing file is not found.
    if (hr == S_OK && target[0] && GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES) {
        target[0] = 0;
        LoadResString(730, description, 1024);
        return S_FALSE;
    }
    return hr;
}

int ShortcutItemTarget(const char* shortcut, char* out, int capacity)
{
    if (capacity > 0)
        out[0] = 0;
    if (!ShortcutFileSound(shortcut))
        return 0;
    ErrorModeScope quiet;
    ComScope com;
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    WCHAR wide[MAX_PATH];
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.outVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.outVoid())) ||
        !MultiByteToWideChar(CP_ACP, 0, shortcut, -1, wide, MAX_PATH) ||
        FAILED(file->Load(wide, STGM_READ)))
        return 0;
    char path[MAX_PATH] = "";
    if (SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)) && path[0])
        return 0;   // a file target: resolved as such
    LPITEMIDLIST item = nullptr;
    if (FAILED(link->GetIDList(&item)) || !item)
        return 0;
    ComPtr<IShellFolder> desktop;
    STRRET name = {};
    HRESULT hr = SHGetDesktopFolder(desktop.out());
    if (SUCCEEDED(hr))
        hr = desktop->GetDisplayNameOf(item, SHGDN_FORPARSING, &name);
    if (SUCCEEDED(hr))
        hr = StrRetToBufA(&name, item, out, capacity);
    CoTaskMemFree(item);
    return SUCCEEDED(hr) && out[0] ? 1 : 0;
}
