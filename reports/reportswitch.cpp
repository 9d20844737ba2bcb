#include "reportswitch.h"
#include "hijacklog.h"
#include "reportlog.h"
#include "savedlist.h"
#include "sysmessage.h"
#include <objbase.h>
#include <windows.h>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Position just after name in the command line (case-insensitive), or nullptr.
const char* After(const char* commandLine, const char* name)
{
    size_t n = strlen(name);
    for (const char* p = commandLine; *p; p++)
        if (_strnicmp(p, name, n) == 0)
            return p + n;
    return nullptr;
}

// The path argument: quoted, or up to the next blank.
std::string PathArgument(const char* rest)
{
    while (*rest == ' ' || *rest == '\t')
        rest++;
    if (*rest == '"') {
        const char* end = strchr(rest + 1, '"');
        return end ? std::string(rest + 1, end) : std::string(rest + 1);
    }
    const char* end = rest;
    while (*end && *end != ' ' && *end != '\t')
        end++;
    return std::string(rest, end);
}

void Complain(const std::string& message)
{
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error && error != INVALID_HANDLE_VALUE) {
        std::string line = message + "\r\n";
        DWORD written = 0;
        if (WriteFile(error, line.data(), (DWORD)line.size(), &written, nullptr))
            return;
    }
    KxMessageBox(nullptr, message.c_str(), MB_OK | MB_ICONSTOP);
}

}   // namespace

int RunReportSwitch(const char* commandLine, int* exitCode)
{
    if (!commandLine)
        return 0;
    const char* log = After(commandLine, "-WriteLog");
    const char* list = After(commandLine, "-WriteList");
    const char* report = After(commandLine, "-WriteReport");
    if (!log && !list && !report)
        return 0;
    std::string path = PathArgument(log ? log : list ? list : report);
    if (path.empty()) {
        Complain(log    ? "-WriteLog needs the path of the log to write."
                 : list ? "-WriteList needs the path of the list to write."
                        : "-WriteReport needs the path of the report to write.");
        *exitCode = 2;
        return 1;
    }
    HRESULT com = CoInitialize(nullptr);   // the scheduled tasks are read through COM
    SetLastError(0);
    int written = log    ? WriteHijackScanLogTo(path.c_str())
                  : list ? WriteSavedListTo(path.c_str())
                         : WriteReportLogTo(path.c_str(), 1);
    DWORD error = GetLastError();
    if (SUCCEEDED(com))
        CoUninitialize();
    if (!written) {
        // The script that asked learns why, not only that.
        char reason[512] = "";
        if (!error || !FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, error, 0, reason, sizeof(reason), nullptr))
            snprintf(reason, sizeof(reason), "Error %lu", (unsigned long)error);
        std::string text = reason;
        while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
            text.pop_back();
        Complain("Cannot write " + path + ": " + text);
    }
    *exitCode = written ? 0 : 1;
    return 1;
}
