#include "fileinfo.h"
#include "firstseen.h"
#include "datetime.h"
#include "handles.h"
#include "pathutil.h"
#include "resstring.h"
#include <windows.h>
#include <cstdio>
#include <cstring>

// Opened for its attributes only, so files in use by others still answer.
static HANDLE OpenForTimes(const char* path)
{
    return CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

static bool ToLocal(const FILETIME& time, SYSTEMTIME* out)
{
    FILETIME local;
    return FileTimeToLocalFileTime(&time, &local) && FileTimeToSystemTime(&local, out);
}

static void DateTimeText(const FILETIME& time, char* out, int capacity)
{
    SYSTEMTIME st;
    out[0] = 0;
    if (ToLocal(time, &st))
        FormatDateTime(st, out, capacity);
}

int CreationTimeText(const char* path, char* out)
{
    out[0] = 0;
    Handle file(OpenForTimes(path));
    FILETIME created;
    SYSTEMTIME st;
    if (file && GetFileTime(file.get(), &created, nullptr, nullptr) && ToLocal(created, &st))
        snprintf(out, 32, "%04d/%02d/%02d %02d:%02d", st.wYear, st.wMonth, st.wDay, st.wHour,
                 st.wMinute);
    return 1;
}

int GetSizeAndDate(const char* path, char* size, char* date)
{
    size[0] = 0;
    date[0] = 0;
    Handle file(OpenForTimes(path));
    if (!file)
        return 0;
    DWORD low = GetFileSize(file.get(), nullptr);
    snprintf(size, 32, "%d", (int)low);
    FILETIME written;
    if (GetFileTime(file.get(), nullptr, nullptr, &written))
        DateTimeText(written, date, 32);
    return 1;
}

int GetFileInformation(const char* path, int type, FileInfoRecord* out)
{
    memset(out, 0, sizeof(*out));
    char program[260];
    GetProgramFile(path, program);
    GetFirstSeenDate(program, type, out->firstSeen, sizeof(out->firstSeen));

    Handle file(OpenForTimes(path));
    LARGE_INTEGER size;
    if (file && GetFileSizeEx(file.get(), &size))
        FormatThousands(size.QuadPart, out->size, sizeof(out->size));
    else
        LoadResString(923, out->size, sizeof(out->size));
    if (!file)
        return 0;
    FILETIME created, accessed, written;
    if (GetFileTime(file.get(), &created, &accessed, &written)) {
        DateTimeText(created, out->created, sizeof(out->created));
        DateTimeText(accessed, out->accessed, sizeof(out->accessed));
        DateTimeText(written, out->written, sizeof(out->written));
    }
    return 1;
}
