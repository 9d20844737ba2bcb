#include "listedfile.h"
#include <shlobj.h>
#include <cstring>

namespace {

// The long, full form a path is compared in; the text itself when the file system refuses.
// GetLongPathName spells out short names but keeps every folder name as written, links too.
std::string ComparableForm(const char* path)
{
    char full[MAX_PATH * 2] = "", longer[MAX_PATH * 2] = "";
    DWORD n = GetFullPathNameA(path, sizeof(full), full, nullptr);
    if (n == 0 || n >= sizeof(full))
        lstrcpynA(full, path, sizeof(full));
    n = GetLongPathNameA(full, longer, sizeof(longer));
    std::string form = n > 0 && n < sizeof(longer) ? longer : full;
    while (form.size() > 3 && form.back() == '\\')
        form.pop_back();
    return form;
}

// Where the handle really is, in the same form: "\\?\C:\x" is "C:\x", "\\?\UNC\s\x" is "\\s\x".
std::string FinalPath(HANDLE file)
{
    char path[MAX_PATH * 2] = "";
    DWORD n = GetFinalPathNameByHandleA(file, path, sizeof(path), FILE_NAME_NORMALIZED);
    if (n == 0 || n >= sizeof(path))
        return "";
    std::string text = path;
    if (text.compare(0, 8, "\\\\?\\UNC\\") == 0)
        text = "\\\\" + text.substr(8);
    else if (text.compare(0, 4, "\\\\?\\") == 0)
        text = text.substr(4);
    return ComparableForm(text.c_str());
}

bool Under(const std::string& path, const std::string& folder)
{
    if (folder.size() < 3 || path.size() < folder.size() ||
        _strnicmp(path.c_str(), folder.c_str(), folder.size()) != 0)
        return false;
    return path.size() == folder.size() || path[folder.size()] == '\\' || folder.back() == '\\';
}

}   // namespace

bool IsFullPath(const char* path)
{
    if (!path)
        return false;
    bool drive = ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' &&
                 path[2] == '\\';
    bool server = path[0] == '\\' && path[1] == '\\' && path[2] && path[2] != '\\' &&
                  path[2] != '?' && path[2] != '.';
    return drive || server;
}

bool InUserWritableFolder(const char* path)
{
    const std::string form = ComparableForm(path);
    std::string folders[8];
    int count = 0;
    char folder[MAX_PATH * 2] = "";
    DWORD n = GetTempPathA(sizeof(folder), folder);
    if (n > 0 && n < sizeof(folder))
        folders[count++] = folder;
    n = GetWindowsDirectoryA(folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
        folders[count++] = std::string(folder) + "\\Temp";
    // The profile holds the user's Startup folder and application data.
    const int shared[] = {CSIDL_PROFILE, CSIDL_COMMON_STARTUP, CSIDL_COMMON_APPDATA,
                          CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_DESKTOPDIRECTORY};
    for (int csidl : shared)
        if (SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder)))
            folders[count++] = folder;
    // Other users' profiles sit beside this one's.
    if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        char* slash = strrchr(folder, '\\');
        if (slash && slash - folder > 3) {
            *slash = 0;
            folders[count++] = folder;
        }
    }
    for (int i = 0; i < count; i++)
        if (Under(form, ComparableForm(folders[i].c_str())))
            return true;
    return false;
}

// Opens the path without following a link at its own place and checks that it is still the
// listed item; the handle stays open only when it is.
static ListedState OpenListed(const char* path, DWORD access, DWORD share, Handle* handle)
{
    if (!IsFullPath(path)) {
        SetLastError(ERROR_INVALID_NAME);
        return LISTED_MISSING;
    }
    handle->reset(CreateFileA(path, access, share, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!*handle) {
        DWORD error = GetLastError();
        SetLastError(error);
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? LISTED_MISSING
                                                                              : LISTED_REFUSED;
    }
    // A link standing where the file was, or a folder on the way that now leads elsewhere.
    FILE_BASIC_INFO info = {};
    if (!GetFileInformationByHandleEx(handle->get(), FileBasicInfo, &info, sizeof(info)) ||
        (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        lstrcmpiA(FinalPath(handle->get()).c_str(), ComparableForm(path).c_str()) != 0) {
        handle->reset();
        SetLastError(ERROR_CANT_ACCESS_FILE);
        return LISTED_ELSEWHERE;
    }
    return LISTED_OPEN;
}

ListedState WhereListed(const char* path)
{
    Handle look;
    return OpenListed(path, FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &look);
}

// Sharing only reading keeps the item where it is while it is open.
ListedFile::ListedFile(const char* path, DWORD extra)
    : path_(path ? path : ""),
      state_(OpenListed(path_.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | extra,
                        FILE_SHARE_READ, &handle_))
{
}

DWORD ListedFile::Attributes() const
{
    FILE_BASIC_INFO info = {};
    if (!handle_ || !GetFileInformationByHandleEx(handle_.get(), FileBasicInfo, &info, sizeof(info)))
        return INVALID_FILE_ATTRIBUTES;
    return info.FileAttributes;
}

bool ListedFile::SetAttributes(DWORD attributes)
{
    FILE_BASIC_INFO info = {};
    if (state_ != LISTED_OPEN ||
        !GetFileInformationByHandleEx(handle_.get(), FileBasicInfo, &info, sizeof(info)))
        return false;
    // Directory and other kind bits are the file system's; only the settable ones change.
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    info.FileAttributes = (info.FileAttributes & ~settable) | (attributes & settable);
    if (!info.FileAttributes)
        info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(handle_.get(), FileBasicInfo, &info, sizeof(info)) != 0;
}

bool ListedFile::Delete()
{
    if (state_ != LISTED_OPEN)
        return false;
    FILE_DISPOSITION_INFO disposition = {TRUE};
    bool marked = SetFileInformationByHandle(handle_.get(), FileDispositionInfo, &disposition,
                                             sizeof(disposition)) != 0;
    DWORD error = GetLastError();
    handle_.reset();
    state_ = LISTED_MISSING;
    if (!marked) {
        SetLastError(error);
        return false;
    }
    return GetFileAttributesA(path_.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool DeleteListedFile(const char* path, ListedState* why)
{
    ListedFile file(path);
    ListedState state = file.State();
    if (state == LISTED_OPEN) {
        DWORD attributes = file.Attributes();
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            file.SetAttributes(attributes & ~FILE_ATTRIBUTE_READONLY);
        if (file.Delete())
            return true;
        state = LISTED_REFUSED;
    }
    if (why)
        *why = state;
    return false;
}
