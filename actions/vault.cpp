#include "vault.h"
#include "datafolder.h"
#include "datetime.h"
#include "entrylist.h"
#include "handles.h"
#include "history.h"
#include "pathutil.h"
#include "platform.h"
#include "registry.h"
#include "systemfiles.h"
#include "taskstop.h"
#include "writefault.h"
#include <windows.h>
#include <shellapi.h>
#include <cstdio>
#include <string>

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// In the machine's data folder: a file put back from the vault goes into a folder the user
// may not write, so no program of his may change the copy while it waits. "" (the last
// error set) when the folder cannot be made.
std::string VaultFolder()
{
    char base[MAX_PATH];
    if (!MachineDataPath("vault", base, sizeof(base)))
        return "";
    if (GetFileAttributesA(base) == INVALID_FILE_ATTRIBUTES &&
        (FileWriteFails(base) || !CreateDirectoryA(base, nullptr)))
        return "";
    return std::string(base) + "\\";
}

// Where the copy of path waits: this build's vault, else the vault of an earlier build in
// the user's application data.
std::string VaultCopyOf(const char* path)
{
    std::string folder = VaultFolder();
    if (!folder.empty() && Exists(folder + FileNamePart(path)))
        return folder + FileNamePart(path);
    char earlier[MAX_PATH + 64];
    if (EarlierDataPath(("vault\\" + std::string(FileNamePart(path))).c_str(), earlier, sizeof(earlier)))
        return earlier;
    return "";
}

// Copies of one file name the vault holds at most; a further one is refused.
const int kVaultNamesPerFile = 1000;

bool SizeOf(const std::string& path, ULONGLONG* size)
{
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info))
        return false;
    *size = ((ULONGLONG)info.nFileSizeHigh << 32) | info.nFileSizeLow;
    return true;
}

bool SameSize(const std::string& from, const std::string& to)
{
    ULONGLONG fromSize = 0, toSize = 1;
    return SizeOf(from, &fromSize) && SizeOf(to, &toSize) && fromSize == toSize;
}

// A copy that exists with the source's size, never over an existing file. A short copy is
// deleted again; the copy refused does not touch what is at the destination.
bool CopyChecked(const std::string& from, const std::string& to)
{
    if (FileWriteFails(to.c_str()) || !CopyFileA(from.c_str(), to.c_str(), TRUE)) {
        NoteWriteRefusal(GetLastError());
        return false;
    }
    if (SameSize(from, to))
        return true;
    DeleteFileA(to.c_str());   // made by this copy
    return false;
}

// Copies what the open file holds to a new file at to; false (and nothing left at to) when
// the name is taken or the copy is short.
bool CopyFromHandle(HANDLE from, const std::string& to, DWORD* error)
{
    Handle out(CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    if (!out) {
        *error = GetLastError();
        return false;
    }
    LARGE_INTEGER start = {}, size = {};
    bool sound = SetFilePointerEx(from, start, nullptr, FILE_BEGIN) && GetFileSizeEx(from, &size);
    LONGLONG copied = 0;
    char buffer[65536];
    DWORD got = 0, written = 0;
    while (sound && ReadFile(from, buffer, sizeof(buffer), &got, nullptr) && got) {
        sound = WriteFile(out.get(), buffer, got, &written, nullptr) && written == got;
        copied += got;
    }
    out.reset();
    if (sound && copied == size.QuadPart)
        return true;
    *error = ERROR_WRITE_FAULT;
    DeleteFileA(to.c_str());   // made by this copy
    return false;
}

// Copies the open file into the vault under the name of path, or the name with ".1", ".2"...
// when it is taken; the vault copy's path, or "" when no sound copy was made. The free name is
// taken by the copy itself, so a name taken since it was looked at is passed over, never
// replaced.
std::string CopyIntoVault(HANDLE file, const char* path)
{
    if (WriteStepFails())
        return "";
    const std::string folder = VaultFolder();
    if (folder.empty()) {
        if (!LastWriteRefusal())   // the refused write itself says why
            NoteWriteRefusal(GetLastError());
        return "";
    }
    const std::string first = folder + FileNamePart(path);
    std::string candidate = first;
    for (int n = 1; n <= kVaultNamesPerFile; n++) {
        DWORD error = 0;
        if (FileWriteFails(candidate.c_str())) {
            NoteWriteRefusal(GetLastError());
            return "";
        }
        if (CopyFromHandle(file, candidate, &error))
            return candidate;
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            NoteWriteRefusal(error);
            return "";
        }
        candidate = first + "." + std::to_string(n);
    }
    return "";
}

}   // namespace

void ApproveHiddenFile(const char* path)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char today[32];
    FormatDateTime(now, today, sizeof(today));
    SetRegValue(HKEY_CURRENT_USER, KX_HIDDEN_KEY, path, today);
}

int CondemnHiddenFile(const char* title, const char* path, ListedState* why)
{
    StopRunningProgram(path, title, 0);
    // One handle from the look to the delete: a link swapped into the folder meanwhile cannot
    // send the copy or the delete to another file.
    ListedFile file(path, GENERIC_READ);
    if (why)
        *why = file.State();
    if (file.State() != LISTED_OPEN)
        return 0;
    DWORD attributes = file.Attributes();
    std::string vault = CopyIntoVault(file.get(), path);
    if (vault.empty())
        return 0;   // without a sound copy the file stays, as it was
    file.SetAttributes(FILE_ATTRIBUTE_NORMAL);
    int deleted = !FileWriteFails(path) && file.Delete() ? 1 : 0;
    if (!deleted)
        NoteWriteRefusal(GetLastError());
    if (deleted) {
        WriteHistoryLine(title, path, vault.c_str(), TYPE_HIDDEN, ACT_HIDDEN_DELETEFILE);
    } else {
        file.SetAttributes(attributes);
        DeleteFileA(vault.c_str());   // the file stayed: no second copy of it waits anywhere
        if (why)
            *why = LISTED_REFUSED;
    }
    DeleteRegValue(HKEY_CURRENT_USER, KX_HIDDEN_KEY, path);
    return deleted;
}

int RestoreHiddenFromVault(const char*, const char* path, const char* vaultCopy)
{
    // A history line names its copy, wherever the build that wrote it kept its vault.
    std::string source = vaultCopy && vaultCopy[0] ? std::string(vaultCopy) : VaultCopyOf(path);
    int result = 0;
    if (Exists(source) && !Exists(path) && CopyChecked(source, path)) {
        result = !FileWriteFails(source.c_str()) && DeleteFileA(source.c_str()) ? 1 : 0;
        if (result) {
            SetFileAttributesA(path, FILE_ATTRIBUTE_HIDDEN);
        } else {
            // The vault copy stayed: the file stays condemned, with no second copy of it
            // anywhere, so that putting it back can be tried again.
            SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path);
        }
    }
    ApproveHiddenFile(path);
    return result;
}

int UnhideFile(const char* path)
{
    if (!FileWriteFails(path) && SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL))
        return 1;
    NoteWriteRefusal(GetLastError());
    return 0;
}

int ViewHiddenFile(const char* path)
{
    // Quoted: a path with blanks would otherwise reach Notepad as several names.
    std::string quoted = std::string("\"") + path + "\"";
    return (INT_PTR)ShellExecuteA(nullptr, "open", SystemFilePath("notepad.exe").c_str(),
                                  quoted.c_str(), nullptr, SW_SHOWNORMAL) > 32;
}

int DeleteFileAtRestart(const char* path)
{
    if (!IsFullPath(path))
        return RESTART_NO_FULL_PATH;
    if (IsWindowsNT()) {
        // The restart deletes by path, long after this look: only where no user can put a
        // link on the way does the path still name this file then.
        if (InUserWritableFolder(path))
            return RESTART_USER_FOLDER;
        if (WhereListed(path) == LISTED_ELSEWHERE)
            return RESTART_ELSEWHERE;
        {
            ListedFile file(path);
            file.SetAttributes(FILE_ATTRIBUTE_NORMAL);   // a file in use keeps them
        }
        // Windows keeps the delete in the machine's registry, which only administrators write.
        if (KeyWriteFails(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager") ||
            !MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
            NoteWriteRefusal(GetLastError());
            return 0;
        }
        return 1;
    }
    // The Windows 95 family has no links and no folder rights.
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    char windows[MAX_PATH] = "", shortPath[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, sizeof(windows));
    std::string ini = std::string(windows) + "\\wininit.ini";
    if (!GetShortPathNameA(path, shortPath, sizeof(shortPath)))
        lstrcpynA(shortPath, path, sizeof(shortPath));
    // The line joins the [rename] section; the rest of the file is kept as it was.
    std::string text;
    {
        Handle in(CreateFileA(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (in) {
            char buffer[4096];
            DWORD got = 0;
            while (ReadFile(in.get(), buffer, sizeof(buffer), &got, nullptr) && got)
                text.append(buffer, got);
        }
    }
    std::string line = std::string("NUL=") + shortPath + "\r\n";
    std::string upper = text;
    CharUpperBuffA(&upper[0], (DWORD)upper.size());
    size_t section = upper.find("[RENAME]");
    if (section == std::string::npos) {
        if (!text.empty() && text.back() != '\n')
            text += "\r\n";
        text += "[rename]\r\n" + line;
    } else {
        size_t after = text.find('\n', section);
        if (after == std::string::npos) {
            text += "\r\n";
            after = text.size();
        } else {
            after++;
        }
        text.insert(after, line);
    }
    Handle out(WriteStepFails() ? INVALID_HANDLE_VALUE
                                : CreateFileA(ini.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!out)
        return 0;
    DWORD written = 0;
    return WriteFile(out.get(), text.data(), (DWORD)text.size(), &written, nullptr) &&
           written == text.size();
}
