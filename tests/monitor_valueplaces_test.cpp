// Every value place in both registry views, through the startup check with the answers
// injected: a value written is asked about by its place and item, Yes makes it known, No puts
// back exactly what was known, the history brings the taken value back, and the hijack log,
// list, saved list and report show it. Windows' own data is never asked about.
#include "alert.h"
#include "alert_driver.h"
#include "checks.h"
#include "entrylist.h"
#include "filetypes.h"
#include "findrun.h"
#include "hijacksections.h"
#include "history.h"
#include "keys.h"
#include "kxtest.h"
#include "monitorseams.h"
#include "monitorstate.h"
#include "options.h"
#include "placeactions.h"
#include "realhives.h"
#include "registry.h"
#include "reportlog.h"
#include "savedlist.h"
#include "undo.h"
#include "valueplaces.h"
#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Asked {
    int type;
    std::string title;
};
std::vector<Asked> g_asked;
std::deque<INT_PTR> g_answers;

INT_PTR FakeDialog(HWND, int)
{
    g_asked.push_back({g_alert.type, g_alert.title});
    INT_PTR answer = g_answers.empty() ? IDYES : g_answers.front();
    if (!g_answers.empty())
        g_answers.pop_front();
    return answer;
}
BOOL NoSound(LPCSTR, HMODULE, DWORD) { return TRUE; }

std::string Upper(std::string text)
{
    CharUpperBuffA(&text[0], (DWORD)text.size());
    return text;
}

// The native path of a key of the 32-bit view (HKLM\SOFTWARE\X -> SOFTWARE\WOW6432Node\X).
std::string NativePath(const std::string& key, REGSAM view)
{
    if (!view)
        return key;
    return key.substr(0, 9) + "WOW6432Node\\" + key.substr(9);
}

struct Raw {
    DWORD type = REG_NONE;
    std::string data;
    bool operator==(const Raw& o) const { return type == o.type && data == o.data; }
};

Raw ReadRawValue(HKEY root, const std::string& path, const std::string& name, REGSAM view)
{
    Raw raw;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return raw;
    BYTE buffer[2048];
    DWORD size = sizeof(buffer);
    if (RegQueryValueExA(key, name.c_str(), nullptr, &raw.type, buffer, &size) == ERROR_SUCCESS)
        raw.data.assign((const char*)buffer, size);
    else
        raw.type = REG_NONE;
    RegCloseKey(key);
    return raw;
}

void WriteRawValue(HKEY root, const std::string& path, const std::string& name, REGSAM view,
                   const Raw& raw)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS | view, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name.c_str(), 0, raw.type,
                                            (const BYTE*)raw.data.data(), (DWORD)raw.data.size()));
    RegCloseKey(key);
}

bool Has(const char* text, const char* part) { return strstr(text, part) != nullptr; }

// A Winsock catalog item: the provider's path, zero-padded to MAX_PATH, then the protocol's
// description (a few bytes of it are enough for the reader).
Raw PackedItem(const std::string& path)
{
    Raw raw{REG_BINARY, path};
    raw.data.resize(MAX_PATH, '\0');
    raw.data += std::string("\x01\x02\x03\x04\xff\xfe", 6);
    return raw;
}

// A startup task's switch turned off: the number 1 (off by the user), or Explorer's record
// with an odd first byte.
Raw SwitchedOff(Raw on)
{
    if (on.type == REG_DWORD) {
        DWORD off = 1;
        on.data.assign((const char*)&off, 4);
    } else {
        on.data[0] = (char)(on.data[0] | 1);
    }
    return on;
}

// Data of the kind the place holds, naming a program of the test.
Raw DataFor(const ValuePlace& place, const std::string& program)
{
    Raw raw;
    std::string name = place.typeName;
    if (place.dataKind == PLACE_DATA_PACKED_PATH)
        return PackedItem("C:\\kx\\" + program);
    if (Has(place.typeName, "StartupTask_Approved")) {
        // Explorer's record, switched on (an even first byte).
        raw.type = REG_BINARY;
        raw.data = std::string(1, program.size() % 2 ? 2 : 6) + std::string(3, '\0') + program.substr(0, 8);
    } else if (name.find("GlobalFlag") != std::string::npos || Has(place.typeName, "Addin") ||
               Has(place.typeName, "StartupTask_State")) {
        // Numbers, two of each kind; a startup task's 2 and 4 are both switched on.
        const bool odd = program.size() % 2;
        DWORD flag = Has(place.typeName, "GlobalFlag") ? (odd ? 0x200 : 0x202)
                     : Has(place.typeName, "Addin")    ? (odd ? 3 : 9)
                                                       : (odd ? 2 : 4);
        raw.type = REG_DWORD;
        raw.data.assign((const char*)&flag, 4);
    } else if (name.find("Execute") != std::string::npos || name.find("LSA") != std::string::npos) {
        raw.type = REG_MULTI_SZ;
        raw.data = (name.find("Execute") != std::string::npos ? "autocheck autochk *" : "msv1_0") +
                   std::string(1, '\0') + program + std::string(2, '\0');
    } else if (name.find("TimeProvider") != std::string::npos) {
        raw.type = REG_EXPAND_SZ;
        raw.data = "%SystemRoot%\\" + program + std::string(1, '\0');
    } else {
        raw.type = REG_SZ;
        raw.data = "C:\\kx\\" + program + std::string(1, '\0');
    }
    return raw;
}

class ValuePlacesTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        g_asked.clear();
        g_answers.clear();
        suppressAlerts = 0;
        ReadAllOptions();
        SetAlertDialogSeam(FakeDialog);
        SetSoundPlayerSeam(NoSound);
        // The file-type places read the watched extensions only.
        WriteValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, "", "kxfx_victim;kxfx_other");
    }
    void TearDown() override
    {
        SetAlertDialogSeam(nullptr);
        SetSoundPlayerSeam(nullptr);
        ClearEntries();
        KxTest::TearDown();
    }

    // Asks nothing the first time: what the machine has is adopted as known.
    void Adopt()
    {
        CheckValuePlaces();
        ASSERT_TRUE(g_asked.empty());
    }

    // One place of one view: the key and value name a test item lives at.
    struct Case {
        int code;
        const ValuePlace* place;
        REGSAM view;
        std::string path, name, item;
        std::string otherPath, otherName, otherItem;   // a second new item, when the place has room
    };

    // The name a "?" of the place's key stands for in a case, made one the place reads:
    // a watched extension, a class such an extension names, a class the machine has too.
    std::string NameFor(const ValuePlace& p, const std::string& base)
    {
        const std::string type = p.typeName;
        if (type == "PLACE_UserFileExt" || type == "PLACE_UserChoice")
            return "." + base;
        if (type == "PLACE_UserFileClass") {
            ForgetKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\." + base);
            WriteValueText(HKEY_LOCAL_MACHINE, "Software\\Classes\\." + base, "", base + ".class");
            return base + ".class";
        }
        if (type.rfind("PLACE_UserClass_", 0) == 0) {
            const std::string machine = "SOFTWARE\\Classes\\CLSID\\{" + base + "}";
            ForgetKey(HKEY_LOCAL_MACHINE, machine);
            WriteValueText(HKEY_LOCAL_MACHINE, machine, "", "machine class");
            return "{" + base + "}";
        }
        return base;
    }

    Case MakeCase(int index, REGSAM view)
    {
        Case c;
        c.place = &ValuePlaceAt(index);
        c.view = view;
        c.code = VALUE_PLACE_FIRST + index + (view ? VALUE_PLACE_VIEW32 : 0);
        const ValuePlace& p = *c.place;
        const std::string key = p.key;
        const std::string valueName = p.value ? p.value : "KxPlaceValue";
        const std::string itemValue = p.value ? (p.value[0] ? p.value : "(Default)") : valueName;
        int wild = 0;
        for (size_t at = key.find('?'); at != std::string::npos; at = key.find('?', at + 1))
            wild++;
        if (wild) {
            // Every "?" and the subkey named alike: the item repeats the name.
            std::string* paths[] = {&c.path, &c.otherPath};
            std::string* items[] = {&c.item, &c.otherItem};
            const char* bases[] = {"kxfx_victim", "kxfx_other"};
            for (int i = 0; i < 2; i++) {
                std::string name = NameFor(p, bases[i]);
                ForgetKey(p.root, NativePath(ValuePlaceWatchKey(p) + "\\" + name, view));
                *paths[i] = ValuePlaceSampleKey(p, name) + (p.eachSubkey ? "\\" + name : "");
                std::string item = name;
                for (int n = 1; n < wild + (p.eachSubkey ? 1 : 0); n++)
                    item += "\\" + name;
                *items[i] = p.value ? item : item + "\\" + valueName;
            }
            c.name = c.otherName = valueName;
        } else if (p.eachSubkey) {
            for (const char* sub : {"kxfx_victim.exe", "kxfx_other.exe"})
                ForgetKey(p.root, NativePath(key + "\\" + sub, view));
            c.path = key + "\\kxfx_victim.exe";
            c.name = valueName;
            c.item = p.value ? "kxfx_victim.exe" : "kxfx_victim.exe\\" + valueName;
            c.otherPath = key + "\\kxfx_other.exe";
            c.otherName = valueName;
            c.otherItem = p.value ? "kxfx_other.exe" : "kxfx_other.exe\\" + valueName;
        } else {
            c.path = key;
            c.name = valueName;
            c.item = itemValue;
            SaveValue(p.root, NativePath(key, view), valueName);
            if (!p.value) {
                c.otherPath = key;
                c.otherName = "KxPlaceOther";
                c.otherItem = "KxPlaceOther";
                SaveValue(p.root, NativePath(key, view), "KxPlaceOther");
            }
        }
        return c;
    }

    // Whether the prefix keeps the key apart for 32-bit programs: a key both views share
    // shows its values once, under the own view's code.
    bool KeptApart(const ValuePlace& p)
    {
        const std::string probe = ValuePlaceWatchKey(p) + "\\kxfx_probe";
        ForgetKey(p.root, probe);
        ForgetKey(p.root, NativePath(probe, KEY_WOW64_32KEY));
        Raw mark{REG_SZ, std::string("32", 3)};
        WriteRawValue(p.root, probe, "KxProbe", KEY_WOW64_32KEY, mark);
        bool apart = ReadRawValue(p.root, probe, "KxProbe", 0).type == REG_NONE;
        DeleteKeyTree(p.root, probe);
        DeleteKeyTree(p.root, NativePath(probe, KEY_WOW64_32KEY));
        return apart;
    }

    std::vector<Case> AllCases()
    {
        std::vector<Case> cases;
        int apart = 0;
        for (int i = 0; i < ValuePlaceCount(); i++) {
            cases.push_back(MakeCase(i, 0));
            if (ValuePlaceAt(i).bothViews && KeptApart(ValuePlaceAt(i))) {
                cases.push_back(MakeCase(i, KEY_WOW64_32KEY));
                apart++;
            }
        }
        // The 32-bit view is tested wherever the prefix has one of its own.
        EXPECT_GT(apart, 0);
        return cases;
    }

    // The last history event of the code, as ReadHistory lists it.
    int LastRemoval(int code, const std::string& item)
    {
        int found = -1;
        for (int i = 0; i < ReadHistory(); i++)
            if (GetEntryType(i) == code && GetEntryTag(i) == ACT_START_REMOVE &&
                item == GetEntry(i)->title)
                found = i;
        return found;
    }
};

TEST_F(ValuePlacesTest, EveryPlaceAsksPutsBackAndRestoresExactly)
{
    std::vector<Case> cases = AllCases();
    ASSERT_NO_FATAL_FAILURE(Adopt());
    std::string log;
    for (const Case& c : cases) {
        SCOPED_TRACE(TypeName(c.code));
        const ValuePlace& p = *c.place;
        Raw before = DataFor(p, "kxfx_before.exe");
        Raw after = DataFor(p, "kxfx_hostile.exe");
        const bool changesOnly = p.ask == PLACE_ASK_CHANGED, onOnly = p.ask == PLACE_ASK_ENABLED;

        // What Windows ships there is not asked about.
        if (p.windowsOwn) {
            Raw own = p.dataKind == PLACE_DATA_PACKED_PATH ? PackedItem(p.windowsOwn[0])
                      : before.type == REG_MULTI_SZ
                          ? Raw{REG_MULTI_SZ, p.windowsOwn[0] + std::string(2, '\0')}
                          : Raw{REG_SZ, p.windowsOwn[0] + std::string(1, '\0')};
            WriteRawValue(p.root, c.path, c.name, c.view, own);
            g_asked.clear();
            CheckValuePlaces();
            EXPECT_TRUE(g_asked.empty()) << g_asked[0].title;
        }
        // Switched off is no news where only switching on is asked about.
        if (onOnly) {
            WriteRawValue(p.root, c.path, c.name, c.view, SwitchedOff(before));
            g_asked.clear();
            CheckValuePlaces();
            EXPECT_TRUE(g_asked.empty());
        }

        // A new value is asked about by place and item; Yes makes it known. Where only
        // changes are asked about, it is known unasked.
        WriteRawValue(p.root, c.path, c.name, c.view, before);
        g_asked.clear();
        g_answers = {IDYES};
        CheckValuePlaces();
        ASSERT_EQ(changesOnly ? 0u : 1u, g_asked.size());
        if (!changesOnly) {
            EXPECT_EQ(c.code, g_asked[0].type);
            EXPECT_EQ(c.item, g_asked[0].title);
        }

        // Changed: No puts back exactly what was known.
        WriteRawValue(p.root, c.path, c.name, c.view, after);
        g_asked.clear();
        g_answers = {IDNO};
        CheckValuePlaces();
        ASSERT_EQ(1u, g_asked.size());
        EXPECT_EQ(c.code, g_asked[0].type);
        EXPECT_EQ(c.item, g_asked[0].title);
        EXPECT_EQ(before, ReadRawValue(p.root, c.path, c.name, c.view));

        // The history brings the taken value back, known: no alert follows.
        int event = LastRemoval(c.code, c.item);
        ASSERT_GE(event, 0);
        ASSERT_TRUE(IsHistoryEventReversible(event));
        EXPECT_TRUE(RestoreHistoryEvent(event));
        EXPECT_EQ(after, ReadRawValue(p.root, c.path, c.name, c.view));
        g_asked.clear();
        CheckValuePlaces();
        EXPECT_TRUE(g_asked.empty());

        // A second new value refused goes, as nothing was known there (a switch is switched
        // off); where only changes are asked about it stays, unasked.
        if (!c.otherItem.empty()) {
            WriteRawValue(p.root, c.otherPath, c.otherName, c.view, before);
            g_answers = {IDNO};
            CheckValuePlaces();
            Raw left = ReadRawValue(p.root, c.otherPath, c.otherName, c.view);
            if (changesOnly) {
                EXPECT_TRUE(g_asked.empty());
                EXPECT_EQ(before, left);
            } else {
                ASSERT_EQ(1u, g_asked.size());
                EXPECT_EQ(c.otherItem, g_asked[0].title);
                EXPECT_EQ(onOnly ? SwitchedOff(before) : Raw(), left);
            }
        }

        // The hijack log has the place's own line (names as the key spells them).
        log.clear();
        HijackValuePlaces(log);
        std::string prefix = std::string(p.logPrefix) + (c.view ? " (32-bit)" : "") + ": [";
        size_t line = Upper(log).find(Upper(prefix + (p.root == HKEY_CURRENT_USER ? "HKCU\\" : "HKLM\\") +
                                            c.path + "] " + c.name + " = "));
        EXPECT_NE(std::string::npos, line) << log;
    }

    // The list shows each with its place; the saved list and the report too.
    BuildStartupList(0);
    std::string report = TempPath("KestrixLog.html"), saved = TempPath("KestrixLog.csv");
    ASSERT_TRUE(WriteReportLogTo(report.c_str(), 1));
    ASSERT_TRUE(WriteSavedListTo(saved.c_str()));
    std::string html = ReadTextFile(report), csv = ReadTextFile(saved);
    BuildStartupList(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(TypeName(c.code));
        int found = -1;
        for (int i = 0; i < EntryCount(); i++)
            if (GetEntryType(i) == c.code && c.item == GetEntry(i)->title)
                found = i;
        ASSERT_GE(found, 0);
        char location[512];
        LocationText(found, location);
        EXPECT_NE(nullptr, strstr(location, ValuePlaceWatchKey(*c.place).c_str())) << location;
        EXPECT_EQ(c.view != 0, strstr(location, "(32-bit)") != nullptr);
        EXPECT_NE(std::string::npos, csv.find(std::string("\"") + TypeName(c.code) + "\""));
        EXPECT_NE(std::string::npos, html.find(ValuePlaceWatchKey(*c.place)));
    }
}

// A place's reading is kept between reads while nothing under its key changes: each change
// made after a read shows in the next, a key deleted and made again too, and a read on
// another thread in between loses nothing.
TEST_F(ValuePlacesTest, EveryReadSeesWhatChangedSinceTheLast)
{
    for (const Case& c : AllCases()) {
        SCOPED_TRACE(TypeName(c.code));
        const ValuePlace& p = *c.place;
        auto readNow = [&c]() {
            for (const PlaceValue& v : ReadValuePlaces())
                if (v.code == c.code && v.item == c.item)
                    return Raw{v.type, v.data};
            return Raw();
        };
        // Names of both lengths' parity, which the numbers' kinds tell apart.
        const Raw first = DataFor(p, "kxfx_a.exe"), second = DataFor(p, "kxfx_bb.exe");
        ASSERT_FALSE(first == second);
        WriteRawValue(p.root, c.path, c.name, c.view, first);
        EXPECT_EQ(first, readNow());
        EXPECT_EQ(first, readNow());
        WriteRawValue(p.root, c.path, c.name, c.view, second);
        EXPECT_EQ(second, readNow());
        std::thread([] { ReadValuePlaces(); }).join();
        WriteRawValue(p.root, c.path, c.name, c.view, first);
        EXPECT_EQ(first, readNow());
        if (c.path != p.key) {   // the item's own key, never a key of Windows
            DeleteKeyTree(p.root, NativePath(c.path, c.view));
            EXPECT_EQ(Raw(), readNow());
            WriteRawValue(p.root, c.path, c.name, c.view, second);
            EXPECT_EQ(second, readNow());
        }
    }
}

TEST_F(ValuePlacesTest, WindowsOwnDataIsNeverAskedAbout)
{
    const char kSession[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    const char kOrder[] = "SYSTEM\\CurrentControlSet\\Control\\NetworkProvider\\Order";
    const char kSafeBoot[] = "SYSTEM\\CurrentControlSet\\Control\\SafeBoot";
    SaveValue(HKEY_LOCAL_MACHINE, kSession, "BootExecute");
    SaveValue(HKEY_LOCAL_MACHINE, kOrder, "ProviderOrder");
    SaveValue(HKEY_LOCAL_MACHINE, kSafeBoot, "AlternateShell");
    // Nothing to adopt: the first check already compares with Windows' own data.
    WriteValueText(HKEY_CURRENT_USER, KX_KEY "\\Adopted", "ValuePlaces", "1");
    WriteValueText(HKEY_LOCAL_MACHINE, kSession, "BootExecute",
                   std::string("autocheck autochk *\0", 20), REG_MULTI_SZ);
    WriteValueText(HKEY_LOCAL_MACHINE, kOrder, "ProviderOrder", "RDPNP,LanmanWorkstation, webclient");
    WriteValueText(HKEY_LOCAL_MACHINE, kSafeBoot, "AlternateShell", "cmd.exe");
    const int boot = ValuePlaceCodeOfName("PLACE_BootExecute");
    const int order = ValuePlaceCodeOfName("PLACE_NetworkProvider");
    const int safeBoot = ValuePlaceCodeOfName("PLACE_SafeBoot_AlternateShell");
    // Whatever else the prefix has may ask; these three may not.
    g_answers.assign(64, IDYES);
    CheckValuePlaces();
    for (const Asked& asked : g_asked)
        EXPECT_TRUE(asked.type != boot && asked.type != order && asked.type != safeBoot)
            << asked.title;
    g_asked.clear();
    g_answers.clear();

    // One item beyond Windows' own is the whole value asked about.
    WriteValueText(HKEY_LOCAL_MACHINE, kOrder, "ProviderOrder", "RDPNP,KxEvilNp");
    WriteValueText(HKEY_LOCAL_MACHINE, kSession, "BootExecute",
                   std::string("autocheck autochk *\0kxfx_boot.exe\0", 34), REG_MULTI_SZ);
    g_answers = {IDNO, IDNO};
    CheckValuePlaces();
    ASSERT_EQ(2u, g_asked.size());
    // No with nothing known deletes; both are in the history to be brought back.
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kOrder, "ProviderOrder"));
    EXPECT_GE(LastRemoval(order, "ProviderOrder"), 0);
    EXPECT_GE(LastRemoval(boot, "BootExecute"), 0);
}

TEST_F(ValuePlacesTest, RealWindowsServiceDataIsNeverAskedAbout)
{
    KX_REQUIRE_REAL_HIVES(folder);
    const std::string section = "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\services\\";
    const std::string services = "SYSTEM\\CurrentControlSet\\Services\\";
    const std::string providers = services + "W32Time\\TimeProviders";
    if (!KeyExists(HKEY_LOCAL_MACHINE, providers))
        ForgetKey(HKEY_LOCAL_MACHINE, services + "W32Time");
    // Nothing of it adopted: only the places' own rules may keep it quiet.
    ASSERT_NO_FATAL_FAILURE(Adopt());
    struct Written {
        std::string path, name, item;
        Raw raw;
    };
    std::vector<Written> written;
    for (const RegFileValue& v : ReadRegFileValues(folder + "\\regipy_SYSTEM-services.reg", section)) {
        // Each under a name of its own, beside the prefix's services.
        std::string rest = v.key.substr(section.size());
        size_t slash = rest.find('\\');
        std::string service = rest.substr(0, slash);
        std::string sub = slash == std::string::npos ? "" : rest.substr(slash + 1);
        std::string path, top;
        if (sub == "Parameters" && v.name == "ServiceDll") {
            top = services + "KxReal " + service;
            path = top + "\\Parameters";
        } else if (lstrcmpiA(service.c_str(), "W32Time") == 0 && v.name == "DllName" &&
                   sub.rfind("TimeProviders\\", 0) == 0 && sub.find('\\', 14) == std::string::npos) {
            top = path = providers + "\\KxReal " + sub.substr(14);
        } else {
            continue;
        }
        ForgetKey(HKEY_LOCAL_MACHINE, top);
        Raw raw{v.type, v.data};
        WriteRawValue(HKEY_LOCAL_MACHINE, path, v.name, 0, raw);
        written.push_back({path, v.name, top.substr(top.rfind('\\') + 1), raw});
    }
    ASSERT_GT(written.size(), 100u);
    g_answers.assign(written.size(), IDNO);
    CheckValuePlaces();
    EXPECT_TRUE(g_asked.empty()) << g_asked.size() << " asked, first " << g_asked[0].title;

    // A service's DLL changed in place is asked about; No puts back Windows' own.
    const Written& svchost = written.front();
    ASSERT_EQ("ServiceDll", svchost.name);
    WriteRawValue(HKEY_LOCAL_MACHINE, svchost.path, svchost.name, 0,
                  Raw{REG_EXPAND_SZ, std::string("C:\\kx\\kxfx_svc.dll", 19)});
    g_asked.clear();
    g_answers = {IDNO};
    CheckValuePlaces();
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ(ValuePlaceCodeOfName("PLACE_ServiceDll"), g_asked[0].type);
    EXPECT_EQ(svchost.item, g_asked[0].title);
    EXPECT_EQ(svchost.raw, ReadRawValue(HKEY_LOCAL_MACHINE, svchost.path, svchost.name, 0));
}

TEST_F(ValuePlacesTest, NoWithoutRightsLeavesTheValueAndAsksAgain)
{
    const std::string ifeo =
        "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\kxfx_rights.exe";
    ForgetKey(HKEY_LOCAL_MACHINE, ifeo);
    ASSERT_NO_FATAL_FAILURE(Adopt());
    WriteValueText(HKEY_LOCAL_MACHINE, ifeo, "Debugger", "C:\\kx\\debugger.exe");
    SetRegistryWriteBlock(HKEY_LOCAL_MACHINE);
    g_answers = {IDNO};
    CheckValuePlaces();
    SetRegistryWriteBlock(nullptr);
    ASSERT_EQ(1u, g_asked.size());
    EXPECT_EQ("C:\\kx\\debugger.exe", ReadValueText(HKEY_LOCAL_MACHINE, ifeo, "Debugger"));
    EXPECT_LT(LastRemoval(ValuePlaceCodeOfName("PLACE_IFEO_Debugger"), "kxfx_rights.exe"), 0);
    // Nothing was decided: the next check asks again.
    g_asked.clear();
    g_answers = {IDYES};
    CheckValuePlaces();
    EXPECT_EQ(1u, g_asked.size());
}

TEST_F(ValuePlacesTest, AlertNamesThePlaceItsViewAndTheItem)
{
    SetAlertDialogSeam(nullptr);
    const struct {
        const char* place;
        int shift;
        const char* item;
        const char* shown;
    } rows[] = {
        {"PLACE_IFEO_Debugger", 0, "notepad.exe", "IFEO Debugger: notepad.exe"},
        {"PLACE_NetshHelper", VALUE_PLACE_VIEW32, "kxhelper", "Netsh helper (32-bit): kxhelper"},
        {"PLACE_BootExecute", 0, "BootExecute", "BootExecute: BootExecute"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.place);
        // Programs of their own: the same one thrice is the repeated-alert rule's business.
        std::string command = std::string("C:\\kx\\") + row.place + ".exe";
        SetCurrentAlert(ValuePlaceCodeOfName(row.place) + row.shift, row.item, command.c_str());
        char name[260] = "";
        INT_PTR result = DriveAlerts({{"", [&](HWND d) {
                                           GetDlgItemTextA(d, 100, name, sizeof(name));
                                           PostMessageA(d, WM_COMMAND, IDNO, 0);
                                       }}},
                                     [] { return ShowAlertDialog(nullptr, ALERT_STARTUP); });
        EXPECT_EQ(IDNO, result);
        EXPECT_STREQ(row.shown, name);
    }
}

}  // namespace
