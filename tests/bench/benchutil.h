// Helpers the benchmarks of the real programs share: registry values, a fresh monitor's data,
// the clock, waiting for a window, and the monitor copied into a folder of its own.
#pragma once
#include <windows.h>
#include <cstdio>
#include <algorithm>
#include <initializer_list>
#include <utility>
#include <string>
#include <vector>

namespace bench {

// One measured figure and its target, printed as a line that tools/run-bench.sh gathers into
// the closing table: "KXFIGURE|name|value|target|met". A target of 0 means "for information".
// Returns whether the figure met its target (value below it).
inline bool Figure(const std::string& name, double value, const char* unit, double target = 0)
{
    bool met = target <= 0 || value < target;
    char valueText[32], targetText[40];
    snprintf(valueText, sizeof(valueText), "%.0f %s", value, unit);
    if (target > 0)
        snprintf(targetText, sizeof(targetText), "< %.0f %s", target, unit);
    else
        snprintf(targetText, sizeof(targetText), "-");
    printf("KXFIGURE|%s|%s|%s|%s\n", name.c_str(), valueText, targetText,
           target <= 0 ? "-" : met ? "met" : "MISSED");
    fflush(stdout);
    return met;
}

// A figure that could not be measured at all (the program did not start, no alert came).
inline bool FigureMissing(const std::string& name, const char* why)
{
    printf("KXFIGURE|%s|%s|-|MISSED\n", name.c_str(), why);
    fflush(stdout);
    return false;
}

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double Maximum(const std::vector<double>& values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

inline std::string FolderOf(const std::string& path)
{
    return path.substr(0, path.find_last_of('\\'));
}

// view: 0, or KEY_WOW64_32KEY for the keys 64-bit Windows keeps for 32-bit programs.
inline void SetText(HKEY root, const char* path, const char* name, const std::string& text,
                    REGSAM view = 0)
{
    HKEY key;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text.c_str(), (DWORD)text.size() + 1);
    RegCloseKey(key);
}

inline void DeleteValue(HKEY root, const char* path, const char* name, REGSAM view = 0)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE | view, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

inline bool ReadText(HKEY root, const char* path, const char* name, std::string* text)
{
    char buf[1024];
    DWORD size = sizeof(buf), type = 0;
    if (RegGetValueA(root, path, name, RRF_RT_REG_SZ, &type, buf, &size) != ERROR_SUCCESS)
        return false;
    *text = buf;
    return true;
}

// The monitor's own data, so that it starts as on a fresh machine and leaves nothing behind.
inline void ForgetMonitorData()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Orvane");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Orvane");
}

inline double Now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart / (double)frequency.QuadPart;
}

inline HWND WaitForWindow(const char* cls, const char* caption, double seconds)
{
    double end = Now() + seconds;
    do {
        if (HWND w = FindWindowA(cls, caption))
            return w;
        Sleep(1);
    } while (Now() < end);
    return nullptr;
}

// Reads the alert caption (string 718) from the monitor, makes sure none runs, and copies it
// into a new temp folder named after prefix and this process; prints what failed.
inline bool PrepareMonitorRun(const std::string& monitorSource, const char* prefix, char* caption,
                              int capacity, std::string* folder, std::string* monitor)
{
    if (HMODULE strings = LoadLibraryExA(monitorSource.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
        LoadStringA(strings, 718, caption, capacity);
        FreeLibrary(strings);
    }
    if (!caption[0]) {
        printf("cannot read the alert caption from %s\n", monitorSource.c_str());
        return false;
    }
    if (FindWindowA("Kestrix", nullptr)) {
        printf("a monitor is already running\n");
        return false;
    }
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    *folder = std::string(temp) + prefix + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder->c_str(), nullptr);
    *monitor = *folder + "\\Kestrix.exe";
    if (!CopyFileA(monitorSource.c_str(), monitor->c_str(), FALSE)) {
        printf("cannot copy %s\n", monitorSource.c_str());
        return false;
    }
    return true;
}

// Waits until each key's last write lies more than two seconds back, as on a machine whose
// keys were written a while ago: a key written within the last two seconds is always read in
// full. Waits no longer than that, and not at all for keys written long before.
inline void WaitUntilKeysSettled(std::initializer_list<std::pair<HKEY, const char*>> keys)
{
    ULONGLONG latest = 0;
    for (const auto& k : keys) {
        HKEY key;
        if (RegOpenKeyExA(k.first, k.second, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            continue;
        FILETIME written;
        if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, &written) == ERROR_SUCCESS)
            latest = std::max(latest, ((ULONGLONG)written.dwHighDateTime << 32) | written.dwLowDateTime);
        RegCloseKey(key);
    }
    for (;;) {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        ULONGLONG at = ((ULONGLONG)now.dwHighDateTime << 32) | now.dwLowDateTime;
        const ULONGLONG settled = latest + 2 * 10000000ULL + 100 * 10000ULL;   // and 100 ms more
        if (at >= settled)
            return;
        Sleep((DWORD)((settled - at) / 10000) + 1);
    }
}

}   // namespace bench
