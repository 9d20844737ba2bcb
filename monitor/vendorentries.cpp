#include "vendorentries.h"
#include "pathutil.h"
#include "registry.h"
#include "tasks.h"
#include <cstring>

namespace {

struct VendorEntry {
    const char* titleStart;   // the vendor's titles carry a varying suffix
    int type;
    const char* folderValue;  // the folder value of HKLM ...\CurrentVersion it lies under
    const char* program;      // the program file within that folder
};

const VendorEntry kCleanup = {"McAfee Application Installer Cleanup", MACHINE_RUNONCE,
                              "CommonFilesDir", "McAfee\\Installer\\McCleanup.exe"};
const VendorEntry kUpdateTask = {"McAfee.com", TASK_SCHEDULED, "ProgramFilesDir",
                                 "McAfee.com\\Agent\\mcupdate.exe"};

int Matches(const VendorEntry& vendor, const EntryRecord& entry)
{
    size_t n = strlen(vendor.titleStart);
    if (entry.type != vendor.type || strlen(entry.title) < n ||
        CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, entry.title, (int)n,
                       vendor.titleStart, (int)n) != CSTR_EQUAL)
        return 0;
    char folder[MAX_PATH];
    if (!GetRegValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                     vendor.folderValue, folder, sizeof(folder)) || !folder[0])
        return 0;
    DropTrailingBackslash(folder);
    char expected[MAX_PATH * 2];
    wsprintfA(expected, "%s\\%s", folder, vendor.program);
    // The command starts that very file: its path whole, quoted or not, then arguments only.
    const char* command = entry.command;
    while (*command == ' ')
        command++;
    bool quoted = *command == '"';
    if (quoted)
        command++;
    int length = lstrlenA(expected);
    if ((int)strlen(command) < length ||
        CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, command, length, expected,
                       length) != CSTR_EQUAL)
        return 0;
    char next = command[length];
    return quoted ? next == '"' : (next == 0 || next == ' ');
}

}  // namespace

int IsVendorCleanupEntry(const EntryRecord& entry) { return Matches(kCleanup, entry); }

int IsVendorTask(const EntryRecord& entry)
{
    // Only the classic scheduler's tasks: the vendor's task was never one of the newer store.
    return (entry.tag & TASK_TAG_SERVICE) == 0 && Matches(kUpdateTask, entry);
}
