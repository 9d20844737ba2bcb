#include "links.h"
#include "handles.h"
#include "waits.h"
#include <windows.h>

namespace {

// The host path Wine keeps a Windows path at; "" outside Wine.
std::string HostPath(const std::string& path)
{
    typedef char*(CDECL * ToHost)(const WCHAR*);
    ToHost toHost = (ToHost)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                                  "wine_get_unix_file_name");
    WCHAR wide[MAX_PATH * 2];
    if (!toHost || !MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH * 2))
        return "";
    char* host = toHost(wide);
    if (!host)
        return "";
    std::string text = host;
    HeapFree(GetProcessHeap(), 0, host);
    return text;
}

}   // namespace

// Starts a host program of /bin with its output dropped; whether it started. Wine hands such a
// program to the host without a process of its own to wait for: the callers wait for its effect.
static bool RunHost(const char* program, const std::string& arguments)
{
    const std::string file = std::string("Z:\\bin\\") + program;
    if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    Handle nul(CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                           nullptr));
    PROCESS_INFORMATION started = {};
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nul.get();
    std::string command = std::string(program) + " " + arguments;
    if (!CreateProcessA(file.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started))
        return false;
    CloseHandle(started.hThread);
    WaitForSingleObject(started.hProcess, 30000);
    CloseHandle(started.hProcess);
    return true;
}

bool MakeHostLink(const std::string& link, const std::string& target)
{
    const std::string hostLink = HostPath(link), hostTarget = HostPath(target);
    return !hostLink.empty() && !hostTarget.empty() &&
           RunHost("ln", "-s \"" + hostTarget + "\" \"" + hostLink + "\"") &&
           WaitUntil([&] { return GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES; },
                     10000);
}

bool RemoveHostLink(const std::string& link)
{
    const std::string hostLink = HostPath(link);
    return !hostLink.empty() && RunHost("rm", "-f \"" + hostLink + "\"") &&
           WaitUntil([&] { return GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES; },
                     10000);
}
