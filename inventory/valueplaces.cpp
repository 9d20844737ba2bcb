#include "valueplaces.h"
#include "entrylist.h"
#include "filetypes.h"
#include "handles.h"
#include "keywatch.h"
#include "registry.h"
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE;
const HKEY HKCU = HKEY_CURRENT_USER;

const char kIfeo[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
const char kSilentExit[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\SilentProcessExit";
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kLsa[] = "SYSTEM\\CurrentControlSet\\Control\\Lsa";
const char kCommandProcessor[] = "Software\\Microsoft\\Command Processor";
const char kTsInstall[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Terminal Server\\Install"
                          "\\Software\\Microsoft\\Windows\\CurrentVersion";
const char kRunOnceEx[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
const char kUserShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kUserWinlogon[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

const char* const kBootOwn[] = {"autocheck autochk *", nullptr};
const char* const kAuthOwn[] = {"msv1_0", nullptr};
const char* const kNotifyOwn[] = {"scecli", "rassfm", nullptr};
const char* const kSecurityOwn[] = {"kerberos", "msv1_0", "schannel", "wdigest", "tspkg",
                                    "pku2u", "cloudap", "negoexts", "\"\"", nullptr};
const char* const kMonitorsOwn[] = {"localspl.dll", "tcpmon.dll", "usbmon.dll", "APMon.dll",
                                    "AppMon.dll", "WSDMon.dll", "FXSMON.DLL", nullptr};
const char* const kProvidersOwn[] = {"RDPNP", "LanmanWorkstation", "webclient", "P9NP", nullptr};
const char* const kUserStartupOwn[] = {
    "%USERPROFILE%\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
    "%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup", nullptr};
const char* const kCommonStartupOwn[] = {
    "%ProgramData%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
    "%ALLUSERSPROFILE%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup", nullptr};
const char* const kAlternateShellOwn[] = {"cmd.exe", nullptr};
// wineps.drv: Wine's own, on the systems that run Windows programs under it.
const char* const kPrintProcessorsOwn[] = {"winprint.dll", "wineps.drv", nullptr};
const char* const kTimeOwn[] = {"%SystemRoot%\\System32\\w32time.dll",
                                "%SystemRoot%\\System32\\vmictimeprovider.dll", nullptr};

const char kOfficeTest[] = "Software\\Microsoft\\Office test\\Special\\Perf";

// The providers Windows installs in both catalogs (64-bit Windows lists the same names in
// the catalog of each bitness).
const char* const kWinsockOwn[] = {
    "%SystemRoot%\\system32\\mswsock.dll", "%SystemRoot%\\system32\\rsvpsp.dll",
    "%SystemRoot%\\system32\\wshbth.dll",  "%SystemRoot%\\system32\\hvsocket.dll",
    "%SystemRoot%\\system32\\NLAapi.dll",  "%SystemRoot%\\system32\\napinsp.dll",
    "%SystemRoot%\\system32\\pnrpnsp.dll", "%SystemRoot%\\system32\\winrnr.dll",
    "%SystemRoot%\\system32\\wshqos.dll",  nullptr};

std::vector<std::string> WatchedExtensions();
std::vector<std::string> WatchedExtensionClasses();
std::vector<std::string> ShadowedMachineClasses();

// Appended only: a row's index is its code (VALUE_PLACE_FIRST + index).
const ValuePlace kPlaces[] = {
    {"PLACE_IFEO_Debugger", "O30 - IFEO Debugger", HKLM, kIfeo, true, "Debugger", true, 0, nullptr},
    {"PLACE_IFEO_GlobalFlag", "O30 - IFEO GlobalFlag", HKLM, kIfeo, true, "GlobalFlag", true, 0,
     nullptr},
    {"PLACE_SilentExit_Monitor", "O30 - SilentProcessExit", HKLM, kSilentExit, true,
     "MonitorProcess", true, 0, nullptr},
    {"PLACE_AppCertDlls", "O31 - AppCertDlls", HKLM,
     "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\AppCertDlls", false, nullptr, false, 0,
     nullptr},
    {"PLACE_BootExecute", "O32 - BootExecute", HKLM, kSessionManager, false, "BootExecute", false,
     0, kBootOwn},
    {"PLACE_SetupExecute", "O32 - SetupExecute", HKLM, kSessionManager, false, "SetupExecute",
     false, 0, nullptr},
    {"PLACE_LSA_Authentication", "O33 - LSA Authentication Packages", HKLM, kLsa, false,
     "Authentication Packages", false, 0, kAuthOwn},
    {"PLACE_LSA_Notification", "O33 - LSA Notification Packages", HKLM, kLsa, false,
     "Notification Packages", false, 0, kNotifyOwn},
    {"PLACE_LSA_Security", "O33 - LSA Security Packages", HKLM, kLsa, false, "Security Packages",
     false, 0, kSecurityOwn},
    {"PLACE_PrintMonitor", "O34 - Print Monitor", HKLM,
     "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors", true, "Driver", false, 0,
     kMonitorsOwn},
    {"PLACE_NetworkProvider", "O35 - Network Provider Order", HKLM,
     "SYSTEM\\CurrentControlSet\\Control\\NetworkProvider\\Order", false, "ProviderOrder", false,
     ',', kProvidersOwn},
    {"PLACE_CmdAutoRun_Machine", "O36 - Command Processor AutoRun (HKLM)", HKLM,
     kCommandProcessor, false, "AutoRun", true, 0, nullptr},
    {"PLACE_CmdAutoRun_User", "O36 - Command Processor AutoRun (HKCU)", HKCU, kCommandProcessor,
     false, "AutoRun", false, 0, nullptr},
    {"PLACE_LogonScript", "O37 - Logon script", HKCU, "Environment", false,
     "UserInitMprLogonScript", false, 0, nullptr},
    {"PLACE_ScreenSaver", "O38 - Screen saver", HKCU, "Control Panel\\Desktop", false,
     "SCRNSAVE.EXE", false, 0, nullptr},
    {"PLACE_ActiveSetup", "O39 - Active Setup", HKLM,
     "SOFTWARE\\Microsoft\\Active Setup\\Installed Components", true, "StubPath", true, 0, nullptr},
    {"PLACE_TS_Run", "O40 - Terminal Server install Run", HKLM,
     "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Terminal Server\\Install\\Software\\Microsoft"
     "\\Windows\\CurrentVersion\\Run", false, nullptr, false, 0, nullptr},
    {"PLACE_TS_RunOnce", "O40 - Terminal Server install RunOnce", HKLM,
     "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Terminal Server\\Install\\Software\\Microsoft"
     "\\Windows\\CurrentVersion\\RunOnce", false, nullptr, false, 0, nullptr},
    {"PLACE_RunOnceEx_Machine", "O41 - RunOnceEx (HKLM)", HKLM, kRunOnceEx, true, nullptr, true, 0,
     nullptr},
    {"PLACE_RunOnceEx_User", "O41 - RunOnceEx (HKCU)", HKCU, kRunOnceEx, true, nullptr, false, 0,
     nullptr},
    {"PLACE_UserStartupFolder", "O42 - Startup folder (HKCU User Shell Folders)", HKCU,
     kUserShellFolders, false, "Startup", false, 0, kUserStartupOwn},
    {"PLACE_UserStartupShell", "O42 - Startup folder (HKCU Shell Folders)", HKCU, kShellFolders,
     false, "Startup", false, 0, kUserStartupOwn},
    {"PLACE_CommonStartupFolder", "O42 - Common Startup folder (HKLM User Shell Folders)", HKLM,
     kUserShellFolders, false, "Common Startup", false, 0, kCommonStartupOwn},
    {"PLACE_CommonStartupShell", "O42 - Common Startup folder (HKLM Shell Folders)", HKLM,
     kShellFolders, false, "Common Startup", false, 0, kCommonStartupOwn},
    {"PLACE_UserWinlogon_Shell", "O43 - Winlogon Shell (HKCU)", HKCU, kUserWinlogon, false, "Shell",
     false, 0, nullptr},
    {"PLACE_UserWinlogon_Userinit", "O43 - Winlogon Userinit (HKCU)", HKCU, kUserWinlogon, false,
     "Userinit", false, 0, nullptr},
    {"PLACE_SafeBoot_AlternateShell", "O44 - SafeBoot AlternateShell", HKLM,
     "SYSTEM\\CurrentControlSet\\Control\\SafeBoot", false, "AlternateShell", false, 0,
     kAlternateShellOwn},
    {"PLACE_TimeProvider", "O45 - Time provider", HKLM,
     "SYSTEM\\CurrentControlSet\\Services\\W32Time\\TimeProviders", true, "DllName", false, 0,
     kTimeOwn},
    {"PLACE_NetshHelper", "O46 - Netsh helper", HKLM, "SOFTWARE\\Microsoft\\NetSh", false, nullptr,
     true, 0, nullptr},
    {"PLACE_PrintProcessor_x64", "O47 - Print Processor (x64)", HKLM,
     "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Print Processors", true,
     "Driver", false, 0, kPrintProcessorsOwn},
    {"PLACE_PrintProcessor_x86", "O47 - Print Processor (x86)", HKLM,
     "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Print Processors",
     true, "Driver", false, 0, kPrintProcessorsOwn},
    {"PLACE_Winsock_Protocol", "O48 - Winsock protocol provider", HKLM,
     "SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9\\Catalog_Entries",
     true, "PackedCatalogItem", false, 0, kWinsockOwn, nullptr, PLACE_DATA_PACKED_PATH},
    {"PLACE_Winsock_Protocol64", "O48 - Winsock protocol provider (64-bit catalog)", HKLM,
     "SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9\\Catalog_Entries64",
     true, "PackedCatalogItem", false, 0, kWinsockOwn, nullptr, PLACE_DATA_PACKED_PATH},
    {"PLACE_Winsock_NameSpace", "O49 - Winsock name space provider", HKLM,
     "SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\NameSpace_Catalog5\\Catalog_Entries",
     true, "LibraryPath", false, 0, kWinsockOwn},
    {"PLACE_Winsock_NameSpace64", "O49 - Winsock name space provider (64-bit catalog)", HKLM,
     "SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\NameSpace_Catalog5\\Catalog_Entries64",
     true, "LibraryPath", false, 0, kWinsockOwn},
    {"PLACE_UserWinlogon_Notify", "O50 - Winlogon Notify (HKCU)", HKCU,
     "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify", true, "DllName", false, 0,
     nullptr},
    {"PLACE_ServiceDll", "O51 - Service DLL", HKLM, "SYSTEM\\CurrentControlSet\\Services\\?\\Parameters",
     false, "ServiceDll", false, 0, nullptr, nullptr, PLACE_DATA_VALUE, PLACE_ASK_CHANGED},
    {"PLACE_OfficeAddin_User", "O52 - Office add-in (HKCU)", HKCU, "Software\\Microsoft\\Office\\?\\Addins",
     true, "LoadBehavior", false, 0, nullptr},
    {"PLACE_OfficeAddin_Machine", "O52 - Office add-in (HKLM)", HKLM,
     "SOFTWARE\\Microsoft\\Office\\?\\Addins", true, "LoadBehavior", true, 0, nullptr},
    {"PLACE_OfficeAddinVersion_User", "O52 - Office add-in of a version (HKCU)", HKCU,
     "Software\\Microsoft\\Office\\?\\?\\Addins", true, "LoadBehavior", false, 0, nullptr},
    {"PLACE_OfficeAddinVersion_Machine", "O52 - Office add-in of a version (HKLM)", HKLM,
     "SOFTWARE\\Microsoft\\Office\\?\\?\\Addins", true, "LoadBehavior", true, 0, nullptr},
    {"PLACE_OfficeTest_User", "O53 - Office test key (HKCU)", HKCU, kOfficeTest, false, "", false, 0,
     nullptr},
    {"PLACE_OfficeTest_Machine", "O53 - Office test key (HKLM)", HKLM, kOfficeTest, false, "", true, 0,
     nullptr},
    {"PLACE_ShellIconOverlay", "O54 - Shell icon overlay", HKLM,
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers", true, "",
     true, 0, nullptr},
    {"PLACE_ContextMenu_All", "O55 - Context menu handler (all files)", HKLM,
     "SOFTWARE\\Classes\\*\\shellex\\ContextMenuHandlers", true, "", false, 0, nullptr},
    {"PLACE_ContextMenu_Directory", "O55 - Context menu handler (Directory)", HKLM,
     "SOFTWARE\\Classes\\Directory\\shellex\\ContextMenuHandlers", true, "", false, 0, nullptr},
    {"PLACE_ContextMenu_Folder", "O55 - Context menu handler (Folder)", HKLM,
     "SOFTWARE\\Classes\\Folder\\shellex\\ContextMenuHandlers", true, "", false, 0, nullptr},
    {"PLACE_ContextMenu_Drive", "O55 - Context menu handler (Drive)", HKLM,
     "SOFTWARE\\Classes\\Drive\\shellex\\ContextMenuHandlers", true, "", false, 0, nullptr},
    {"PLACE_ShellExtApproved", "O56 - Approved shell extension", HKLM,
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved", false, nullptr, true,
     0, nullptr},
    {"PLACE_UserClass_Inproc", "O57 - Per-user COM class over the machine's (InprocServer32)", HKCU,
     "Software\\Classes\\CLSID\\?\\InprocServer32", false, "", false, 0, nullptr,
     ShadowedMachineClasses},
    {"PLACE_UserClass_Local", "O57 - Per-user COM class over the machine's (LocalServer32)", HKCU,
     "Software\\Classes\\CLSID\\?\\LocalServer32", false, "", false, 0, nullptr,
     ShadowedMachineClasses},
    {"PLACE_UserClass_TreatAs", "O57 - Per-user COM class over the machine's (TreatAs)", HKCU,
     "Software\\Classes\\CLSID\\?\\TreatAs", false, "", false, 0, nullptr, ShadowedMachineClasses},
    {"PLACE_AppCompat_Custom", "O58 - Compatibility shim", HKLM,
     "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Custom", true, nullptr, true, 0,
     nullptr},
    {"PLACE_AppCompat_InstalledSDB", "O58 - Installed shim database", HKLM,
     "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\InstalledSDB", true,
     "DatabasePath", true, 0, nullptr},
    {"PLACE_UserFileExt", "O59 - File association (HKCU class of the extension)", HKCU,
     "Software\\Classes\\?", false, "", false, 0, nullptr, WatchedExtensions},
    {"PLACE_UserFileClass", "O59 - File association (HKCU open command of the class)", HKCU,
     "Software\\Classes\\?\\shell\\open\\command", false, "", false, 0, nullptr,
     WatchedExtensionClasses},
    {"PLACE_UserChoice", "O59 - File association (UserChoice)", HKCU,
     "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\?\\UserChoice", false,
     "ProgId", false, 0, nullptr, WatchedExtensions},
    {"PLACE_StartupTask_Approved", "O60 - Store app startup task (StartupApproved)", HKCU,
     "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\StartupTask", false,
     nullptr, false, 0, nullptr, nullptr, PLACE_DATA_VALUE, PLACE_ASK_ENABLED},
    {"PLACE_StartupTask_State", "O60 - Store app startup task", HKCU,
     "Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel"
     "\\SystemAppData\\?", true, "State", false, 0, nullptr, nullptr, PLACE_DATA_VALUE,
     PLACE_ASK_ENABLED},
};

const int kPlaceCount = (int)(sizeof(kPlaces) / sizeof(kPlaces[0]));

std::string Upper(std::string text)
{
    if (!text.empty())
        CharUpperBuffA(&text[0], (DWORD)text.size());
    return text;
}

std::string Expanded(const std::string& text)
{
    char out[2048];
    DWORD n = ExpandEnvironmentStringsA(text.c_str(), out, sizeof(out));
    return n > 0 && n <= sizeof(out) ? std::string(out) : text;
}

// The items a value names: the strings of a multi-string, the pieces of a separated text.
std::vector<std::string> Items(const ValuePlace& place, DWORD type, const std::string& data)
{
    std::vector<std::string> items;
    if (type == REG_MULTI_SZ) {
        size_t start = 0;
        while (start < data.size()) {
            size_t end = data.find('\0', start);
            if (end == std::string::npos)
                end = data.size();
            if (end > start)
                items.push_back(data.substr(start, end - start));
            start = end + 1;
        }
        return items;
    }
    std::string text(data.c_str());
    if (!place.separator) {
        items.push_back(text);
        return items;
    }
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(place.separator, start);
        if (end == std::string::npos)
            end = text.size();
        std::string piece = text.substr(start, end - start);
        while (!piece.empty() && piece[0] == ' ')
            piece.erase(0, 1);
        if (!piece.empty())
            items.push_back(piece);
        start = end + 1;
    }
    return items;
}

struct ValueRead {
    std::string name;
    DWORD type;
    std::string data;
};

std::vector<ValueRead> ReadKeyValues(HKEY root, const std::string& path, const char* only,
                                     REGSAM view)
{
    std::vector<ValueRead> values;
    RegKey key;
    if (!key.open(root, path.c_str(), KEY_READ | view))
        return values;
    ForEachValue(key.get(), [&](const RegValueItem& value) {
        // A key's default value names no program at the places read whole.
        if (only ? lstrcmpiA(value.name.c_str(), only) == 0 : !value.name.empty())
            values.push_back({value.name, value.type, value.data});
    });
    return values;
}

// The parts of a place's key, each subkey of it counted as one more "?".
std::vector<std::string> KeyParts(const ValuePlace& place)
{
    std::vector<std::string> parts;
    std::string key = place.key;
    size_t start = 0;
    while (start <= key.size()) {
        size_t end = key.find('\\', start);
        if (end == std::string::npos)
            end = key.size();
        parts.push_back(key.substr(start, end - start));
        start = end + 1;
    }
    if (place.eachSubkey)
        parts.push_back("?");
    return parts;
}

int WildCount(const ValuePlace& place)
{
    int count = 0;
    for (const std::string& part : KeyParts(place))
        count += part == "?";
    return count;
}

// What a fixed value is called in an item and a location: the default value has no name.
std::string ValueTitle(const char* value) { return value[0] ? value : "(Default)"; }

// The item of a value found under the names the "?" parts stood for.
std::string ItemOf(const ValuePlace& place, const std::vector<std::string>& names,
                   const std::string& valueName)
{
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "" : "\\") + name;
    if (place.value)
        return names.empty() ? ValueTitle(place.value) : joined;
    return names.empty() ? valueName : joined + "\\" + valueName;
}

void WalkPlace(const ValuePlace& place, int code, REGSAM view, const std::vector<std::string>& parts,
               size_t next, const std::string& path, std::vector<std::string>& names,
               std::vector<PlaceValue>* out)
{
    if (next == parts.size()) {
        for (const ValueRead& v : ReadKeyValues(place.root, path, place.value, view)) {
            PlaceValue found;
            found.code = code;
            // A fixed value is named as the table names it, however the key spells it.
            found.item = ItemOf(place, names, v.name);
            found.path = path;
            found.name = v.name;
            found.type = v.type;
            found.data = v.data;
            out->push_back(found);
        }
        return;
    }
    const std::string& part = parts[next];
    if (part != "?") {
        WalkPlace(place, code, view, parts, next + 1, path.empty() ? part : path + "\\" + part,
                  names, out);
        return;
    }
    std::vector<std::string> subkeys;
    if (names.empty() && place.firstNames) {
        subkeys = place.firstNames();
    } else {
        ForEachSubkey(place.root, path.c_str(), [&](const std::string& name) {
            // A name holding a backslash could not be told apart in an item.
            if (!name.empty() && name.find('\\') == std::string::npos)
                subkeys.push_back(name);
        }, view);
    }
    for (const std::string& sub : subkeys) {
        if (sub.empty() || sub.find('\\') != std::string::npos)
            continue;
        names.push_back(sub);
        WalkPlace(place, code, view, parts, next + 1, path + "\\" + sub, names, out);
        names.pop_back();
    }
}

// A place's values as last read, handed out again while nothing under its key changed: a
// patrol pass then costs a look at an event per place instead of a walk over every service's
// key. A place whose first names come from elsewhere is read each time.
struct PlaceReading {
    KeyWatch watch;
    std::vector<PlaceValue> values;
};
std::mutex g_readingsLock;
PlaceReading g_readings[kPlaceCount][2];

void ReadPlace(int index, REGSAM view, std::vector<PlaceValue>* out)
{
    const ValuePlace& place = kPlaces[index];
    const int code = VALUE_PLACE_FIRST + index + (view ? VALUE_PLACE_VIEW32 : 0);
    std::vector<std::string> names;
    if (place.firstNames) {
        WalkPlace(place, code, view, KeyParts(place), 0, "", names, out);
        return;
    }
    std::lock_guard<std::mutex> hold(g_readingsLock);
    PlaceReading& kept = g_readings[index][view ? 1 : 0];
    const std::string watched = ValuePlaceWatchKey(place);
    if (KeyChangedSinceLastAsk(&kept.watch, place.root, watched.c_str(), true, view)) {
        kept.values.clear();
        WalkPlace(place, code, view, KeyParts(place), 0, "", names, &kept.values);
    }
    out->insert(out->end(), kept.values.begin(), kept.values.end());
}

std::string Identity(const PlaceValue& v)
{
    return Upper(v.path + "\n" + v.name) + "\n" + std::to_string(v.type) + "\n" + v.data;
}

// The kernel's name of an open key ("\REGISTRY\MACHINE\SOFTWARE\WOW6432Node\..." for a key
// kept apart); empty when it cannot be asked.
std::wstring KernelKeyName(HKEY key)
{
    typedef LONG(WINAPI * QueryKeyFn)(HANDLE, int, PVOID, ULONG, PULONG);
    static QueryKeyFn query =
        (QueryKeyFn)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey");
    if (!query)
        return std::wstring();
    std::vector<BYTE> buffer(4096);
    ULONG got = 0;
    const int KeyNameInformation = 3;
    if (query(key, KeyNameInformation, buffer.data(), (ULONG)buffer.size(), &got) != 0)
        return std::wstring();
    ULONG length;
    memcpy(&length, buffer.data(), sizeof(length));
    if (length > buffer.size() - sizeof(ULONG))
        return std::wstring();
    return std::wstring((const wchar_t*)(buffer.data() + sizeof(ULONG)), length / sizeof(wchar_t));
}

enum Sharing { VIEWS_APART, VIEWS_SHARED, VIEWS_UNKNOWN };

// Whether 64-bit Windows keeps the place's key apart for 32-bit programs: the two views then
// open keys of different names. A key missing in the 32-bit view has nothing to list there.
Sharing KeySharing(const ValuePlace& place)
{
    RegKey own, other;
    const std::string key = ValuePlaceWatchKey(place);
    if (!other.open(place.root, key.c_str(), KEY_READ | KEY_WOW64_32KEY))
        return VIEWS_SHARED;
    if (!own.open(place.root, key.c_str(), KEY_READ))
        return VIEWS_APART;
    std::wstring ownName = KernelKeyName(own.get()), otherName = KernelKeyName(other.get());
    if (ownName.empty() || otherName.empty())
        return VIEWS_UNKNOWN;
    return lstrcmpiW(ownName.c_str(), otherName.c_str()) == 0 ? VIEWS_SHARED : VIEWS_APART;
}

}   // namespace

int ValuePlaceCount() { return kPlaceCount; }

const ValuePlace& ValuePlaceAt(int index) { return kPlaces[index]; }

const ValuePlace* ValuePlaceOfCode(int code, REGSAM* view)
{
    int index = code - VALUE_PLACE_FIRST;
    *view = 0;
    if (index >= VALUE_PLACE_VIEW32) {
        index -= VALUE_PLACE_VIEW32;
        *view = KEY_WOW64_32KEY;
        if (index >= 0 && index < kPlaceCount && !kPlaces[index].bothViews)
            return nullptr;
    }
    return index >= 0 && index < kPlaceCount ? &kPlaces[index] : nullptr;
}

const char* ValuePlaceTypeName(int code)
{
    static char names[kPlaceCount][64];
    REGSAM view;
    const ValuePlace* place = ValuePlaceOfCode(code, &view);
    if (!place)
        return nullptr;
    if (!view)
        return place->typeName;
    char* name = names[place - kPlaces];
    snprintf(name, sizeof(names[0]), "%s32", place->typeName);
    return name;
}

int ValuePlaceCodeOfName(const char* name)
{
    for (int i = 0; i < kPlaceCount; i++) {
        int code = VALUE_PLACE_FIRST + i;
        if (lstrcmpiA(name, kPlaces[i].typeName) == 0)
            return code;
        if (kPlaces[i].bothViews && lstrcmpiA(name, ValuePlaceTypeName(code + VALUE_PLACE_VIEW32)) == 0)
            return code + VALUE_PLACE_VIEW32;
    }
    return 0;
}

std::vector<PlaceValue> ReadValuePlaces()
{
    std::vector<PlaceValue> values;
    for (int i = 0; i < kPlaceCount; i++) {
        ReadPlace(i, 0, &values);
        if (!kPlaces[i].bothViews)
            continue;
        Sharing sharing = KeySharing(kPlaces[i]);
        if (sharing == VIEWS_SHARED)
            continue;
        std::vector<PlaceValue> other;
        ReadPlace(i, KEY_WOW64_32KEY, &other);
        if (sharing == VIEWS_APART) {
            values.insert(values.end(), other.begin(), other.end());
            continue;
        }
        // Where the kernel cannot tell, a key Windows shares between the views (or a system
        // without a 32-bit view) shows the same values in both: those are the own view's.
        std::set<std::string> own;
        for (const PlaceValue& v : values)
            if (v.code == VALUE_PLACE_FIRST + i)
                own.insert(Identity(v));
        for (const PlaceValue& v : other)
            if (!own.count(Identity(v)))
                values.push_back(v);
    }
    return values;
}

bool PlaceItemLocation(int code, const char* item, std::string* path, std::string* name)
{
    REGSAM view;
    const ValuePlace* place = ValuePlaceOfCode(code, &view);
    if (!place || !item[0])
        return false;
    if (WildCount(*place) == 0) {
        if (place->value && lstrcmpiA(ValueTitle(place->value).c_str(), item) != 0)
            return false;
        *path = place->key;
        *name = place->value ? place->value : item;
        return true;
    }
    // Each "?" takes one name of the item (a subkey name holds no backslash); what is left
    // is the value's name where the place reads every value.
    std::string rest = item, built;
    bool more = true;
    for (const std::string& part : KeyParts(*place)) {
        std::string piece = part;
        if (part == "?") {
            size_t slash = rest.find('\\');
            if (!more || slash == 0)
                return false;
            piece = rest.substr(0, slash);
            more = slash != std::string::npos;
            rest = more ? rest.substr(slash + 1) : std::string();
        }
        built += (built.empty() ? "" : "\\") + piece;
    }
    if (place->value ? more : (!more || rest.empty()))
        return false;
    *path = built;
    *name = place->value ? place->value : rest;
    return true;
}

// The provider's path that leads a packed item; false when no zero ends it in the first
// MAX_PATH bytes (then it is no path).
bool PackedPath(const std::string& data, std::string* path)
{
    size_t end = data.find('\0');
    if (end == std::string::npos || end >= MAX_PATH)
        return false;
    *path = data.substr(0, end);
    return true;
}

std::string PlaceDataText(int code, DWORD type, const std::string& data)
{
    REGSAM view;
    const ValuePlace* place = ValuePlaceOfCode(code, &view);
    std::string path;
    if (place && place->dataKind == PLACE_DATA_PACKED_PATH && type == REG_BINARY &&
        PackedPath(data, &path))
        return path;
    if (type == REG_DWORD && data.size() >= 4) {
        DWORD number;
        memcpy(&number, data.data(), 4);
        char text[16];
        snprintf(text, sizeof(text), "0x%08lX", (unsigned long)number);
        return text;
    }
    if (type == REG_MULTI_SZ) {
        std::string joined;
        size_t start = 0;
        while (start < data.size()) {
            size_t end = data.find('\0', start);
            if (end == std::string::npos)
                end = data.size();
            if (end > start)
                joined += (joined.empty() ? "" : "; ") + data.substr(start, end - start);
            start = end + 1;
        }
        return joined;
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ)
        return std::string(data.c_str());
    // Other data is shown as bytes: nothing of it reaches a list unescaped.
    std::string hex;
    char pair[4];
    for (size_t i = 0; i < data.size() && i < 64; i++) {
        snprintf(pair, sizeof(pair), "%02X", (unsigned char)data[i]);
        hex += pair;
    }
    return hex;
}

int IsWindowsOwnValue(int code, DWORD type, const std::string& data)
{
    REGSAM view;
    const ValuePlace* place = ValuePlaceOfCode(code, &view);
    if (!place || !place->windowsOwn)
        return 0;
    std::string packed;
    if (place->dataKind == PLACE_DATA_PACKED_PATH && type == REG_BINARY) {
        if (!PackedPath(data, &packed))
            return 0;
        type = REG_SZ;
    } else if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) {
        return 0;
    }
    const std::string& text = packed.empty() ? data : packed;
    std::set<std::string> own;
    for (const char* const* item = place->windowsOwn; *item; item++) {
        own.insert(Upper(*item));
        own.insert(Upper(Expanded(*item)));
    }
    std::vector<std::string> items = Items(*place, type, text);
    for (const std::string& item : items)
        if (!own.count(Upper(item)) && !own.count(Upper(Expanded(item))))
            return 0;
    return 1;
}

int ValuePlaceLocation(int code, char* out, int capacity)
{
    REGSAM view;
    const ValuePlace* place = ValuePlaceOfCode(code, &view);
    out[0] = 0;
    if (!place)
        return 0;
    snprintf(out, capacity, "%s\\%s%s  %s%s", place->root == HKEY_CURRENT_USER ? "HKCU" : "HKLM",
             ValuePlaceSampleKey(*place, "*").c_str(), place->eachSubkey ? "\\*" : "",
             place->value ? ValueTitle(place->value).c_str() : "*", view ? " (32-bit)" : "");
    return lstrlenA(out);
}

namespace {

// The file a class runs (its InprocServer32, else its LocalServer32, as the user's classes
// over the machine's read it); a ProgID is followed to its class. "" when none.
std::string ClassServer(const std::string& name, bool progId)
{
    if (name.size() < 2 || name.size() > 200 || name.find('\\') != std::string::npos)
        return "";
    std::string clsid = name;
    char text[MAX_PATH + 64];
    if (name[0] != '{' || name.back() != '}') {
        if (!progId || GetRegValue(HKEY_CLASSES_ROOT, (name + "\\CLSID").c_str(), "", text,
                                   sizeof(text)) <= 0)
            return "";
        clsid = text;
        if (clsid[0] != '{' || clsid.find('\\') != std::string::npos)
            return "";
    }
    for (const char* server : {"InprocServer32", "LocalServer32"})
        if (GetRegValue(HKEY_CLASSES_ROOT, ("CLSID\\" + clsid + "\\" + server).c_str(), "", text,
                        sizeof(text)) > 0)
            return text;
    return "";
}

// What an entry of a place runs: the data, or, where the data (or the value's name, or the
// item's last part where the data is a number) names a class, the file of that class, so that
// the list and its publisher filter see the program itself.
std::string EntryProgram(const PlaceValue& v)
{
    std::string shown = PlaceDataText(v.code, v.type, v.data);
    std::string server;
    if (v.type == REG_SZ || v.type == REG_EXPAND_SZ)
        server = ClassServer(shown, false);
    if (server.empty())
        server = ClassServer(v.name, false);
    if (server.empty() && v.type == REG_DWORD)
        server = ClassServer(v.item.substr(v.item.rfind('\\') + 1), true);
    return server.empty() ? shown : server;
}

}   // namespace

int IsListedOnlyOutsideWindows(const PlaceValue& v)
{
    REGSAM view;
    const ValuePlace* place = ValuePlaceOfCode(v.code, &view);
    if (!place || place->ask != PLACE_ASK_CHANGED ||
        (v.type != REG_SZ && v.type != REG_EXPAND_SZ))
        return 0;
    char windows[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
    std::string file = Upper(Expanded(v.data.c_str()));
    std::string folder = Upper(std::string(windows, n < MAX_PATH ? n : 0)) + "\\";
    // A way back up out of the folder is not inside it.
    return n > 0 && file.compare(0, folder.size(), folder) == 0 && file.find("..") == std::string::npos;
}

int ListValuePlaces()
{
    int added = 0;
    for (const PlaceValue& v : ReadValuePlaces()) {
        // What Windows ships there is no entry of anyone's; the hijack log still shows it.
        if (IsWindowsOwnValue(v.code, v.type, v.data) || IsListedOnlyOutsideWindows(v))
            continue;
        REGSAM view;
        const ValuePlace* place = ValuePlaceOfCode(v.code, &view);
        std::string source = std::string(place->root == HKEY_CURRENT_USER ? "HKCU\\" : "HKLM\\") +
                             v.path;
        added += AddEntry(v.item.c_str(), EntryProgram(v).c_str(), source.c_str(),
                          v.name.c_str(), v.code, 0);
    }
    return added;
}

std::string ValuePlaceWatchKey(const ValuePlace& place)
{
    std::string key = place.key;
    size_t wild = key == "?" ? 0 : key.find("\\?");
    return wild == std::string::npos ? key : key.substr(0, wild);
}

std::string ValuePlaceSampleKey(const ValuePlace& place, const std::string& name)
{
    std::string sample;
    std::vector<std::string> parts = KeyParts(place);
    if (place.eachSubkey)
        parts.pop_back();   // the subkey itself is the caller's
    for (const std::string& part : parts)
        sample += (sample.empty() ? "" : "\\") + (part == "?" ? name : part);
    return sample;
}

int IsPlaceValueQuiet(const PlaceValue& value, bool known)
{
    REGSAM view;
    const ValuePlace* place = ValuePlaceOfCode(value.code, &view);
    if (!place)
        return 0;
    if (place->ask == PLACE_ASK_CHANGED)
        return !known;
    // Switched off is never news, whatever was known.
    std::string off;
    return place->ask == PLACE_ASK_ENABLED && PlaceSwitchedOff(value, &off) && off == value.data;
}

// A startup task's switch: a number (0 off, 1 off by the user, 2 on, 3 off by policy, 4 on by
// policy) or Explorer's record whose first byte is even when on.
bool PlaceSwitchedOff(const PlaceValue& value, std::string* off)
{
    REGSAM view;
    const ValuePlace* place = ValuePlaceOfCode(value.code, &view);
    if (!place || place->ask != PLACE_ASK_ENABLED || value.data.empty())
        return false;
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD state;
        memcpy(&state, value.data.data(), 4);
        *off = value.data;
        if (state == 2 || state == 4) {
            DWORD byUser = 1;
            off->assign((const char*)&byUser, 4);
        }
        return true;
    }
    if (value.type == REG_BINARY) {
        *off = value.data;
        (*off)[0] = (char)((*off)[0] | 1);
        return true;
    }
    return false;
}

namespace {

std::vector<std::string> WatchedExtensions()
{
    std::vector<std::string> names;
    RegKey key;
    if (!key.open(HKEY_CURRENT_USER, KX_CLASS_KEY, KEY_QUERY_VALUE))
        return names;
    ForEachValue(key.get(), [&](const RegValueItem& value) {
        if (!value.name.empty() || (value.type != REG_SZ && value.type != REG_EXPAND_SZ))
            return;
        std::string list = value.text();
        size_t start = 0;
        while (start < list.size()) {
            size_t end = list.find(';', start);
            if (end == std::string::npos)
                end = list.size();
            std::string item = list.substr(start, end - start);
            if (!item.empty() && item.size() < 64)
                names.push_back(item[0] == '.' ? item : "." + item);
            start = end + 1;
        }
    });
    return names;
}

// The classes the watched extensions name: the user's own, the machine's, and the user's
// choice; a per-user class of any of them is what the user's double-click runs.
std::vector<std::string> WatchedExtensionClasses()
{
    std::set<std::string> seen;
    std::vector<std::string> names;
    char name[260];
    for (const std::string& ext : WatchedExtensions()) {
        const struct {
            HKEY root;
            std::string key;
            const char* value;
        } sources[] = {
            {HKEY_CURRENT_USER, "Software\\Classes\\" + ext, ""},
            {HKEY_LOCAL_MACHINE, "Software\\Classes\\" + ext, ""},
            {HKEY_CURRENT_USER, std::string(KX_FILEEXTS_KEY) + "\\" + ext + "\\UserChoice", "ProgId"}};
        for (const auto& source : sources)
            if (GetRegValue(source.root, source.key.c_str(), source.value, name, sizeof(name)) > 0 &&
                !strchr(name, '\\') && seen.insert(Upper(name)).second)
                names.push_back(name);
    }
    return names;
}

// The user's classes that stand in for one the machine has (in either view).
std::vector<std::string> ShadowedMachineClasses()
{
    std::vector<std::string> names;
    ForEachSubkey(HKEY_CURRENT_USER, "Software\\Classes\\CLSID", [&](const std::string& name) {
        if (name.empty() || name.find('\\') != std::string::npos)
            return;
        const std::string machine = "SOFTWARE\\Classes\\CLSID\\" + name;
        RegKey own, other;
        if (own.open(HKEY_LOCAL_MACHINE, machine.c_str(), KEY_READ) ||
            other.open(HKEY_LOCAL_MACHINE, machine.c_str(), KEY_READ | KEY_WOW64_32KEY))
            names.push_back(name);
    });
    return names;
}

}   // namespace
