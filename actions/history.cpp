#include "history.h"
#include "datafolder.h"
#include "actionevents.h"
#include "entrylist.h"
#include "handles.h"
#include "options.h"
#include "program.h"
#include "resstring.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static const int NAME_FIELD = 47;
static const int FIELD_ACCUMULATE = 260;
// A writer that meets the file held by the other program waits this long in all: long
// enough that a program the system keeps waiting while it holds the file costs no line.
static const int OPEN_RETRIES = 100;
static const DWORD OPEN_RETRY_DELAY_MS = 50;

// In the user's data folder: both programs run as the user (the monitor perhaps elevated),
// and both append to it.
void HistoryFilePath(char* path, int capacity) { UserDataPath("history.txt", path, capacity); }

int FormatHistoryTime(const SYSTEMTIME& t, char* out, int capacity)
{
    if (capacity <= 0)
        return 0;
    if (t.wYear == 0 && t.wMonth == 0 && t.wDay == 0)
        return LoadResString(686, out, capacity);
    unsigned hour = t.wHour % 12;
    if (hour == 0)
        hour = 12;
    int n = snprintf(out, capacity, "%02u/%02u/%04u  %u:%02u %s", t.wMonth, t.wDay, t.wYear, hour,
                     t.wMinute, t.wHour < 12 ? "AM" : "PM");
    return n < capacity ? n : capacity - 1;
}

static int HistoryEnabled()
{
    return (g_optionsLoaded ? g_options.History : GetOption("History", 1)) > 0;
}

static HANDLE OpenForAppend(const char* path)
{
    for (int attempt = 0;; attempt++) {
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            return file;
        DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) ||
            attempt + 1 >= OPEN_RETRIES)
            return INVALID_HANDLE_VALUE;
        Sleep(OPEN_RETRY_DELAY_MS);
    }
}

int WriteHistoryLine(const char* title, const char* command, const char* source, int type,
                     int action)
{
    // The event log hears of the action even when the user keeps no history.
    ReportActionTaken(action, type, title, command, source);
    if (!HistoryEnabled())
        return 0;
    char typeName[NAME_FIELD + 1], actionName[NAME_FIELD + 1];
    lstrcpynA(typeName, TypeName(type), sizeof(typeName));
    lstrcpynA(actionName, ActionName(action), sizeof(actionName));

    SYSTEMTIME now;
    GetLocalTime(&now);
    char time[64];
    FormatHistoryTime(now, time, sizeof(time));

    // The text is cut to leave room for the line end, so a long line never runs into the next.
    char line[HISTORY_LINE_BUFFER];
    int length = snprintf(line, sizeof(line) - 2, "%s\t%s\t%s\t%s\t%s\t%s", time, actionName,
                          typeName, title ? title : "", command ? command : "",
                          source ? source : "");
    if (length < 0)
        return 0;
    if (length > (int)sizeof(line) - 3)
        length = (int)sizeof(line) - 3;
    line[length++] = '\r';
    line[length++] = '\n';

    char path[MAX_PATH + 16];
    HistoryFilePath(path, sizeof(path));
    Handle file(OpenForAppend(path));
    if (!file)
        return 0;
    SetFilePointer(file.get(), 0, nullptr, FILE_END);
    DWORD written = 0;
    return WriteFile(file.get(), line, (DWORD)length, &written, nullptr) &&
           written == (DWORD)length;
}

// Splits one line into its six fields; each field keeps at most 260 characters and is
// emptied when longer than its width.
static void SplitHistoryLine(const char* begin, const char* end, std::string fields[6])
{
    static const int widths[6] = {31, FIELD_ACCUMULATE - 1, FIELD_ACCUMULATE - 1, 127, 259, 259};
    int field = 0;
    for (const char* p = begin; p < end; p++) {
        if (*p == '\t') {
            if (++field >= 6)
                break;
            continue;
        }
        if ((int)fields[field].size() < FIELD_ACCUMULATE)
            fields[field] += *p;
    }
    for (int i = 0; i < 6; i++)
        if ((int)fields[i].size() > widths[i])
            fields[i].clear();
}

// The newest events are the ones a user wants to undo: the last HISTORY_READ_LIMIT bytes
// are read, from the first whole line in them. One byte before them is read too, so that a
// part that already starts a line keeps that line.
static void ReadHistoryTail(HANDLE file, std::vector<char>* data)
{
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size))
        return;
    bool cut = size.QuadPart > HISTORY_READ_LIMIT;
    LONGLONG start = cut ? size.QuadPart - HISTORY_READ_LIMIT - 1 : 0;
    LARGE_INTEGER offset = {};
    offset.QuadPart = start;
    if (!SetFilePointerEx(file, offset, nullptr, FILE_BEGIN))
        return;
    data->resize(HISTORY_READ_LIMIT + 1);
    DWORD got = 0;
    if (!ReadFile(file, data->data(), (DWORD)data->size(), &got, nullptr))
        got = 0;
    data->resize(got);
    if (cut) {
        auto lineStart = std::find(data->begin(), data->end(), '\n');
        data->erase(data->begin(), lineStart == data->end() ? lineStart : lineStart + 1);
    }
}

int ReadHistory()
{
    ClearEntries();

    char path[MAX_PATH + 16];
    HistoryFilePath(path, sizeof(path));
    std::vector<char> data;
    {
        Handle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file)
            ReadHistoryTail(file.get(), &data);
    }

    const char* p = data.data();
    const char* end = p + data.size();
    while (p < end) {
        const char* lineEnd = (const char*)memchr(p, '\n', end - p);
        const char* next = lineEnd ? lineEnd + 1 : end;
        if (!lineEnd)
            lineEnd = end;
        if (lineEnd > p && lineEnd[-1] == '\r')
            lineEnd--;
        std::string f[6];
        SplitHistoryLine(p, lineEnd, f);
        AddEntry(f[3].c_str(), f[4].c_str(), f[5].c_str(), f[0].c_str(), TypeCode(f[2].c_str()),
                 ActionCodeFromName(f[1].c_str()));
        p = next;
    }
    return EntryCount();
}

int ClearHistory()
{
    char path[MAX_PATH + 16];
    HistoryFilePath(path, sizeof(path));
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);
    return ReadHistory();
}
