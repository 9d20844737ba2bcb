#include "services.h"
#include "entrylist.h"
#include "handles.h"
#include "keywatch.h"
#include "keytext.h"
#include "options.h"
#include "pathutil.h"
#include "registry.h"
#include "resstring.h"
#include "textutil.h"
#include "trace.h"
#include "versioninfo.h"
#include <shlwapi.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

// What listing and naming services needs of the service manager: every user holds it.
static const DWORD kManagerRead = SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE;

namespace {

UINT StartTypeString(int start, bool driver)
{
    // Boot and system start belong to drivers; a service claiming them shows the number.
    if (driver && (start == 0 || start == 1))
        return start == 0 ? 1853 : 1854;
    switch (start) {
    case 2: return 664;
    case 3: return 665;
    case 4: return 666;
    }
    return 0;
}

// The low byte of "Start", as a string reader of the raw data would see it.
int ReadStartByte(HKEY key)
{
    BYTE data[64];
    DWORD size = sizeof(data), type = 0;
    if (RegQueryValueExA(key, "Start", nullptr, &type, data, &size) != ERROR_SUCCESS || size == 0)
        return 0;
    return data[0];
}

// "Type" as a number; 0 when missing or of another kind (a text is no type).
DWORD ReadServiceType(HKEY key)
{
    DWORD data = 0, size = sizeof(data), type = 0;
    if (RegQueryValueExA(key, "Type", nullptr, &type, (BYTE*)&data, &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(data))
        return 0;
    return data;
}

// The name the inventory shows for a service: the manager's display name, else the key's
// "DisplayName"; an indirect name is resolved, and one that cannot be resolved gives way to
// the key name, so that the list never shows "@file,-id" texts.
// Display names the manager holds, by upper-case key name: one call for the whole list
// instead of one round trip to the manager per service.
typedef std::unordered_map<std::string, std::string> DisplayNames;

std::string Upper(const char* text)
{
    std::string upper(text);
    CharUpperBuffA(&upper[0], (DWORD)upper.size());
    return upper;
}

// types: SERVICE_WIN32, SERVICE_DRIVER or SERVICE_TYPE_ALL.
bool ReadDisplayNames(SC_HANDLE manager, DWORD types, DisplayNames* names)
{
    if (!manager)
        return false;
    DWORD needed = 0, count = 0, resume = 0;
    std::vector<BYTE> buffer(64 * 1024);
    for (;;) {
        if (EnumServicesStatusExA(manager, SC_ENUM_PROCESS_INFO, types,
                                  SERVICE_STATE_ALL, buffer.data(), (DWORD)buffer.size(), &needed,
                                  &count, &resume, nullptr)) {
            break;
        }
        if (GetLastError() != ERROR_MORE_DATA || needed == 0)
            return false;
        // Keep what came so far, then ask for the rest with room enough.
        auto* items = (ENUM_SERVICE_STATUS_PROCESSA*)buffer.data();
        for (DWORD i = 0; i < count; i++)
            (*names)[Upper(items[i].lpServiceName)] = items[i].lpDisplayName ? items[i].lpDisplayName : "";
        buffer.assign(needed + 4096, 0);
    }
    auto* items = (ENUM_SERVICE_STATUS_PROCESSA*)buffer.data();
    for (DWORD i = 0; i < count; i++)
        (*names)[Upper(items[i].lpServiceName)] = items[i].lpDisplayName ? items[i].lpDisplayName : "";
    return true;
}

void ServiceTitle(SC_HANDLE manager, HKEY key, const char* keyName, char* out, int capacity,
                  const DisplayNames* known = nullptr)
{
    char name[4096] = "";
    DWORD size = sizeof(name);
    if (known) {
        auto found = known->find(Upper(keyName));
        if (found != known->end())
            lstrcpynA(name, found->second.c_str(), sizeof(name));
        else
            ReadKeyText(key, "DisplayName", name, sizeof(name));
    } else if (!manager || !GetServiceDisplayNameA(manager, keyName, name, &size)) {
        ReadKeyText(key, "DisplayName", name, sizeof(name));
    }
    if (name[0] == '@' && !ResolveIndirectText(name, name, sizeof(name)))
        name[0] = 0;
    lstrcpynA(out, name[0] ? name : keyName, capacity);
}

// Program of a service for the comparisons: its image path, or the hosted library.
int ServiceProgram(HKEY key, const char* keyName, const char* hostWord, char* out, int capacity)
{
    if (!ReadKeyText(key, "ImagePath", out, capacity))
        return 0;
    if (!InMyString(out, hostWord))
        return 1;
    char parameters[400], dll[520];
    snprintf(parameters, sizeof(parameters), KX_SERVICES_ROOT "\\%s\\Parameters", keyName);
    RegKey params;
    if (params.open(HKEY_LOCAL_MACHINE, parameters, KEY_READ) &&
        ReadKeyText(params.get(), "ServiceDll", dll, sizeof(dll)) > 0)
        lstrcpynA(out, dll, capacity);
    return 1;
}

// Size and date of a program file, to see whether it was replaced since it was read.
struct FileStamp {
    std::string path;
    WIN32_FILE_ATTRIBUTE_DATA data;
};

bool SameFile(const FileStamp& stamp)
{
    WIN32_FILE_ATTRIBUTE_DATA now;
    if (!GetFileAttributesExA(stamp.path.c_str(), GetFileExInfoStandard, &now))
        return false;
    return now.nFileSizeLow == stamp.data.nFileSizeLow &&
           now.nFileSizeHigh == stamp.data.nFileSizeHigh &&
           CompareFileTime(&now.ftLastWriteTime, &stamp.data.ftLastWriteTime) == 0;
}

// The last listing, handed out again while nothing under the services key changed, the option
// stands and the files of the services hidden as Microsoft's are as they were: a pass then
// costs one look at an event instead of a thousand keys and files. (A file replaced by
// someone else's would bring its service into the list, so those files are compared each time;
// a listed service's file that changes alters nothing the comparisons use.) One listing is
// kept for each kind asked for, so that callers asking for different kinds in turn (the
// Services page, the reports, the monitor) do not read each other's away.
enum ServiceKinds { KINDS_SERVICES = 1, KINDS_DRIVERS = 2, KINDS_BOTH = 3 };
struct ServiceListing {
    KeyWatch watch;
    bool valid = false;
    bool hideMicrosoft = false;
    std::vector<EntryRecord> records;
    std::vector<FileStamp> hidden;
};
ServiceListing g_listings[KINDS_BOTH];

// Whether each service key held a driver when last opened, with the key's last-write time:
// a listing of one kind passes over the other kind's keys without opening them while they
// stay unwritten (only a settled time counts, which a later write always changes).
struct KindSeen {
    ULONGLONG written;
    bool driver;
};
std::unordered_map<std::string, KindSeen> g_kindsSeen;

// A kept record goes back into the list as it was made, without AddEntry's file look-ups.
void AddKeptEntry(const EntryRecord& record)
{
    EntryRecord* copy = (EntryRecord*)malloc(sizeof(EntryRecord));
    if (!copy)
        return;
    *copy = record;
    AppendEntryRecord(copy);
}

bool ListingStands(ServiceListing& listing, bool hideMicrosoft)
{
    bool changed = KeyChangedSinceLastAsk(&listing.watch, HKEY_LOCAL_MACHINE, KX_SERVICES_ROOT, true);
    if (changed || !listing.valid || listing.hideMicrosoft != hideMicrosoft)
        return false;
    for (const FileStamp& stamp : listing.hidden)
        if (!SameFile(stamp))
            return false;
    return true;
}

bool HiddenAsMicrosoft(ServiceListing& listing, const char* command)
{
    char program[260];
    if (!GetProgramFile(command, program))
        return false;
    VersionStrings strings;
    GetVersionStrings(program, &strings);
    if (!InMyString(strings.slot[VS_COMPANY_NAME], "Microsoft"))
        return false;
    FileStamp stamp{program, {}};
    if (GetFileAttributesExA(program, GetFileExInfoStandard, &stamp.data))
        listing.hidden.push_back(stamp);
    else
        listing.valid = false;   // nothing to compare with: read again next time
    return true;
}

// True when the key has no ImagePath or an empty one.
bool NoImagePath(HKEY key)
{
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExA(key, "ImagePath", nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND)
        return true;
    return rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && size <= 1;
}

void AddService(ServiceListing& listing, HKEY services, SC_HANDLE manager,
                const DisplayNames* known, const char* keyName, ULONGLONG written,
                bool hideMicrosoft, int kinds)
{
    if (kinds != KINDS_BOTH) {
        auto seen = g_kindsSeen.find(Upper(keyName));
        if (seen != g_kindsSeen.end() && seen->second.written == written &&
            !(kinds & (seen->second.driver ? KINDS_DRIVERS : KINDS_SERVICES)))
            return;
    }
    // Opened under the services' key: a path from the hive's root goes through the
    // CurrentControlSet link for every one of a thousand keys.
    RegKey key;
    if (!key.open(services, keyName, KEY_READ))
        return;
    DWORD serviceType = ReadServiceType(key.get());
    bool driver = (serviceType == SERVICE_KERNEL_DRIVER || serviceType == SERVICE_FILE_SYSTEM_DRIVER);
    if (IsSettledWrite(written))
        g_kindsSeen[Upper(keyName)] = {written, driver};
    char image[513];
    if (!ReadKeyText(key.get(), "ImagePath", image, sizeof(image))) {
        // The kernel loads a driver that names no file from System32\drivers\<key name>.sys;
        // a service without one cannot start. Data that is no text or too long is passed over.
        if (!driver || !NoImagePath(key.get()))
            return;
        snprintf(image, sizeof(image), "System32\\drivers\\%s.sys", keyName);
    }
    bool hosted = !driver && InMyString(image, "svchost") != 0;
    if (!(kinds & (driver ? KINDS_DRIVERS : KINDS_SERVICES)))
        return;
    if (!driver && !hosted && !InMyString(image, ".exe"))
        return;   // adapters and the like

    char title[128], description[4097] = "", startText[64] = "";
    ServiceTitle(manager, key.get(), keyName, title, sizeof(title), known);
    if (ReadKeyText(key.get(), "Description", description, sizeof(description)) &&
        description[0] == '@' && !ResolveIndirectText(description, description, sizeof(description)))
        description[0] = 0;
    UINT startString = StartTypeString(ReadStartByte(key.get()), driver);
    if (!startString || !LoadResString(startString, startText, sizeof(startText)))
        lstrcpynA(startText, "0", sizeof(startText));

    char command[520];
    lstrcpynA(command, driver ? DriverFilePath(image).c_str() : image, sizeof(command));
    if (hosted)
        ServiceProgram(key.get(), keyName, "svchost", command, sizeof(command));
    if (hideMicrosoft && HiddenAsMicrosoft(listing, command))
        return;
    int code = driver ? DRIVER_SERVICE : hosted ? SERVICE_SVCHOST : SERVICE_EXE;
    if (AddEntry(title, command, startText, description, code, driver ? (int)serviceType : 0))
        lstrcpynA(g_entries.items[g_entries.count - 1]->key, keyName,
                  sizeof(g_entries.items[0]->key));
}

}   // namespace

int ResolveIndirectText(const char* text, char* out, int capacity)
{
    if (text[0] != '@') {
        if (out != text)
            lstrcpynA(out, text, capacity);
        return 1;
    }
    WCHAR wide[1024], expanded[1024], resolved[1024];
    if (!MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 1024))
        return 0;
    DWORD length = ExpandEnvironmentStringsW(wide, expanded, 1024);
    if (length == 0 || length > 1024)
        return 0;
    resolved[0] = 0;
    if (FAILED(SHLoadIndirectString(expanded, resolved, 1024, nullptr)) || !resolved[0] ||
        resolved[0] == L'@')
        return 0;
    char narrow[1024];
    if (!WideCharToMultiByte(CP_ACP, 0, resolved, -1, narrow, sizeof(narrow), nullptr, nullptr))
        return 0;
    lstrcpynA(out, narrow, capacity);
    return 1;
}

// Calls visit with the name of each subkey of the services root, in index order, until it
// answers true. True when visit did.
template <typename Visit>
static bool EachServiceKey(HKEY root, Visit visit)
{
    return ForEachSubkey(root, [&](const std::string& name) {
               return !name.c_str()[0] || !visit(name.c_str());
           }) == REG_WALK_STOPPED;
}

std::string DriverFilePath(const char* image)
{
    char windows[MAX_PATH] = "";
    UINT length = GetWindowsDirectoryA(windows, sizeof(windows));
    if (length == 0 || length >= sizeof(windows))
        lstrcpynA(windows, "C:\\Windows", sizeof(windows));
    std::string path = image;
    if (_strnicmp(image, "\\??\\", 4) == 0)
        return path.substr(4);
    if (_strnicmp(image, "\\SystemRoot\\", 12) == 0)
        return std::string(windows) + path.substr(11);
    if (_strnicmp(image, "%SystemRoot%\\", 13) == 0)
        return std::string(windows) + path.substr(12);
    // The loader reads a path without a drive or a leading backslash under the Windows folder.
    if (image[0] && image[0] != '\\' && image[1] != ':')
        return std::string(windows) + "\\" + path;
    return path;
}

std::string DriverKindText(int serviceType)
{
    char text[64] = "";
    if (!LoadResString(serviceType == SERVICE_FILE_SYSTEM_DRIVER ? 1852 : 1851, text, sizeof(text)))
        text[0] = 0;
    return text;
}

static int ListServiceKinds(int kinds);

int ListServices()
{
    return ListServiceEntries(GetOption("ShowDrivers", 0) > 0);
}

int ListServicesAndDrivers()
{
    return ListServiceEntries(true);
}

int ListServiceEntries(bool drivers)
{
    return ListServiceKinds(drivers ? KINDS_BOTH : KINDS_SERVICES);
}

int ListDrivers()
{
    return ListServiceKinds(KINDS_DRIVERS);
}

static int ListServiceKinds(int kinds)
{
    ClearEntries();
    Trace("ListServices", "services");
    bool hideMicrosoft =
        (g_optionsLoaded ? g_options.HideMicrosoftServices : GetOption("HideMicrosoftServices", 1)) != 0;
    ServiceListing& listing = g_listings[kinds - 1];
    if (ListingStands(listing, hideMicrosoft)) {
        for (const EntryRecord& record : listing.records)
            AddKeptEntry(record);
        return 0;
    }
    // The watch is armed: a change from here on makes the next call read again.
    listing.valid = true;
    listing.hideMicrosoft = hideMicrosoft;
    listing.hidden.clear();
    listing.records.clear();
    VersionCacheScope versions;
    RegKey root;
    if (!root.open(HKEY_LOCAL_MACHINE, KX_SERVICES_ROOT, KEY_READ)) {
        listing.valid = false;
        return 0;
    }
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, kManagerRead));
    DisplayNames names;
    // Only the kinds listed: the manager's answer costs by the services it holds.
    const DWORD types = kinds == KINDS_BOTH      ? SERVICE_TYPE_ALL
                        : kinds == KINDS_DRIVERS ? SERVICE_DRIVER
                                                 : SERVICE_WIN32;
    bool haveNames = ReadDisplayNames(manager.get(), types, &names);
    WalkSubkeysWritten(root.get(), [&](const std::string& name, ULONGLONG written) {
        if (!name.empty())
            AddService(listing, root.get(), manager.get(), haveNames ? &names : nullptr,
                       name.c_str(), written, hideMicrosoft, kinds);
        return true;
    });
    // Without the manager's names a later call asks again rather than keep the registry's.
    listing.valid = listing.valid && haveNames && listing.watch.thread != 0;
    for (int i = 0; listing.valid && i < EntryCount(); i++)
        listing.records.push_back(*GetEntry(i));
    return 0;
}

// Interrogates the service; the status, or false when it cannot be reached or is stopped.
static bool Interrogate(const char* keyName, SERVICE_STATUS* status)
{
    if (!keyName || !keyName[0])
        return false;
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    ScHandle service(manager ? OpenServiceA(manager.get(), keyName,
                                            SERVICE_INTERROGATE | SERVICE_QUERY_STATUS)
                             : nullptr);
    if (!service)
        return false;
    memset(status, 0, sizeof(*status));
    if (ControlService(service.get(), SERVICE_CONTROL_INTERROGATE, status))
        return true;
    if (GetLastError() == ERROR_SERVICE_NOT_ACTIVE)
        return false;
    // A service between states cannot answer; its manager still knows where it stands.
    return QueryServiceStatus(service.get(), status) != 0;
}

DWORD ServiceState(const char* keyName)
{
    SERVICE_STATUS status;
    if (!Interrogate(keyName, &status))
        return 0;
    return (status.dwCurrentState << 16) | (status.dwServiceType & 0xFFFF);
}

static DWORD StateText(DWORD state, char* out, int capacity)
{
    DWORD current = state >> 16;
    UINT id = current >= 1 && current <= 7 ? 651 + current : 652;
    if (!LoadResString(id, out, capacity) && capacity > 0)
        out[0] = 0;
    return state;
}

DWORD ServiceStateText(const char* keyName, char* out, int capacity)
{
    return StateText(ServiceState(keyName), out, capacity);
}

void ReadServiceStates(ServiceStateTable* table)
{
    table->read = false;
    table->states.clear();
    table->texts.clear();
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, kManagerRead));
    if (!manager)
        return;
    std::vector<BYTE> buffer(64 * 1024);
    std::vector<std::pair<std::string, DWORD>> byKey;
    DWORD needed = 0, count = 0, resume = 0;
    for (;;) {
        BOOL done = EnumServicesStatusExA(manager.get(), SC_ENUM_PROCESS_INFO, SERVICE_TYPE_ALL,
                                          SERVICE_STATE_ALL, buffer.data(), (DWORD)buffer.size(),
                                          &needed, &count, &resume, nullptr);
        if (!done && (GetLastError() != ERROR_MORE_DATA || needed == 0))
            return;
        auto* items = (ENUM_SERVICE_STATUS_PROCESSA*)buffer.data();
        for (DWORD i = 0; i < count; i++) {
            const SERVICE_STATUS_PROCESS& s = items[i].ServiceStatusProcess;
            // A stopped service fails the interrogation: it reads as 0, as ServiceState says.
            DWORD state = s.dwCurrentState == SERVICE_STOPPED
                              ? 0
                              : (s.dwCurrentState << 16) | (s.dwServiceType & 0xFFFF);
            byKey.emplace_back(Upper(items[i].lpServiceName), state);
        }
        if (done)
            break;
        buffer.assign(needed + 4096, 0);
    }
    for (const auto& k : byKey)
        table->states.emplace(k.first, k.second);
    table->read = true;
}

DWORD ServiceStateTextIn(const ServiceStateTable& table, const char* keyName, char* out,
                         int capacity)
{
    if (!table.read)
        return ServiceStateText(keyName, out, capacity);
    auto found = table.states.find(Upper(keyName));
    DWORD state = found == table.states.end() ? 0 : found->second;
    auto text = table.texts.find(state);
    if (text == table.texts.end()) {
        char loaded[256];
        StateText(state, loaded, sizeof(loaded));
        text = table.texts.emplace(state, loaded).first;
    }
    if (capacity > 0)
        lstrcpynA(out, text->second.c_str(), capacity);
    return state;
}

DWORD ServiceAcceptedControls(const char* keyName)
{
    SERVICE_STATUS status;
    return Interrogate(keyName, &status) ? status.dwControlsAccepted : 0;
}

int ServiceDisplayName(const char* keyName, char* out, int capacity)
{
    if (capacity > 0)
        out[0] = 0;
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, kManagerRead));
    if (!manager)
        return 0;
    char name[4096];
    DWORD size = sizeof(name);
    if (!GetServiceDisplayNameA(manager.get(), keyName, name, &size))
        return 0;
    if (name[0] == '@' && !ResolveIndirectText(name, name, sizeof(name)))
        lstrcpynA(name, keyName, sizeof(name));
    lstrcpynA(out, name, capacity);
    return 1;
}

int ServiceDescriptionByPath(const char* path, char* out, int capacity)
{
    if (capacity > 0)
        out[0] = 0;
    RegKey root;
    if (!root.open(HKEY_LOCAL_MACHINE, KX_SERVICES_ROOT, KEY_READ))
        return 0;
    bool found = EachServiceKey(root.get(), [&](const char* name) {
        RegKey key;
        if (!key.open(root.get(), name, KEY_READ))
            return false;
        char program[520], normalised[260];
        if (!ServiceProgram(key.get(), name, "svchost.exe", program, 261) || !program[0])
            return false;
        GetProgramFile(program, normalised);
        if (!normalised[0] || lstrcmpiA(normalised, path) != 0)
            return false;
        char description[1025];
        if (ReadKeyText(key.get(), "Description", description, sizeof(description)) &&
            description[0] == '@' && !ResolveIndirectText(description, description, sizeof(description)))
            description[0] = 0;
        lstrcpynA(out, description, capacity);
        return true;
    });
    return found ? lstrlenA(out) : 0;
}
