#include "winlogonnotify.h"
#include "entrylist.h"
#include "entrystore.h"
#include "registry.h"
#include <string>

#define NOTIFY_KEY "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify"

static std::string NotifyKey(const char* title) { return std::string(NOTIFY_KEY "\\") + title; }

int DisableNotify(const char* title, const char* command)
{
    RawText copy;
    copy.text = command;
    if (!StoreDisabledCopy(title, copy, RUN_WINLOGONNOTIFY))
        return 0;
    WriteKnownStartup(HKEY_CURRENT_USER, command, RUN_WINLOGONNOTIFY);
    std::string key = NotifyKey(title);
    char dll[REG_READ_BUFFER];
    // An empty DllName must not wipe the name an earlier disable kept in OldName.
    if (GetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "DllName", dll, sizeof(dll)) > 0 &&
        SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "OldName", dll))
        SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "DllName", "");
    return 1;
}

int PutNotifyBack(const char* title)
{
    std::string key = NotifyKey(title);
    char dll[REG_READ_BUFFER];
    if (GetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "OldName", dll, sizeof(dll)) <= 0)
        return 1;
    if (!SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "DllName", dll))
        return 0;
    SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "OldName", "");
    return 1;
}
