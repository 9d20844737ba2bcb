// The machine Run keys that 64-bit Windows keeps for 32-bit programs, and Windows' own
// startup switches (Explorer\StartupApproved): what the inventory lists and shows, and what
// disable, enable, remove, restore and the switch leave in the registry.
#include "kxtest.h"
#include "addonactions.h"
#include "addons.h"
#include "delaystart.h"
#include "dialog_driver.h"
#include "entrylist.h"
#include "findrun.h"
#include "history.h"
#include "undo.h"
#include "keys.h"
#include "program.h"
#include "registry.h"
#include "runactions.h"
#include "startupapproved.h"
#include "startupswitch.h"
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

const char* const kKnownRun = KX_KEY "\\Run";
const char* const kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const kPrefix = "KxWow";
const char* const kDelayLoad = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
const char* const kSharedTasks =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
const char* const kExecuteHooks =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";
const char* const kAppInitKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const char* const kClass = "{KxWowClass}";
const char* const kClassKey = "Software\\Classes\\CLSID\\{KxWowClass}";

// A value of a Run key written, read or looked for through one registry view.
void WriteView(REGSAM view, HKEY root, const char* path, const std::string& name,
               const std::string& data)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE | view,
                                             nullptr, &key, nullptr));
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE*)data.c_str(),
                   (DWORD)data.size() + 1);
    RegCloseKey(key);
}

std::string ReadView(REGSAM view, HKEY root, const char* path, const std::string& name)
{
    char text[600] = "";
    return GetRegValue(root, path, name.c_str(), text, sizeof(text), view) ? text : "<none>";
}

void WriteSwitch(HKEY root, const char* sub, const std::string& name, BYTE first)
{
    std::string path = std::string(STARTUP_APPROVED_KEY) + sub;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(root, path.c_str(), &key));
    BYTE data[12] = {first, 0, 0, 0, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x01};
    RegSetValueExA(key, name.c_str(), 0, REG_BINARY, data, sizeof(data));
    RegCloseKey(key);
}

int SwitchByte(HKEY root, const char* sub, const std::string& name)
{
    std::string path = std::string(STARTUP_APPROVED_KEY) + sub;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    BYTE data[32];
    DWORD type = 0, size = sizeof(data);
    LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &type, data, &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_BINARY && size == 12 ? data[0] : -1;
}

// Only the test's own values go: the machine's are not touched.
void DeleteOwnValues(HKEY root, const std::string& path, REGSAM view)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | KEY_SET_VALUE | view, &key) !=
        ERROR_SUCCESS)
        return;
    std::vector<std::string> own;
    char name[600];
    for (DWORD i = 0;; i++) {
        DWORD length = sizeof(name);
        if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (strncmp(name, kPrefix, strlen(kPrefix)) == 0)
            own.push_back(name);
    }
    for (const std::string& n : own)
        RegDeleteValueA(key, n.c_str());
    RegCloseKey(key);
}

const EntryRecord* Listed(const std::string& title, int type)
{
    for (int i = 0; i < EntryCount(); i++)
        if (title == GetEntry(i)->title && GetEntry(i)->type == type)
            return GetEntry(i);
    return nullptr;
}

int ListedIndex(const std::string& title)
{
    for (int i = 0; i < EntryCount(); i++)
        if (title == GetEntry(i)->title)
            return i;
    return -1;
}

int CountListed(const std::string& title)
{
    int n = 0;
    for (int i = 0; i < EntryCount(); i++)
        n += title == GetEntry(i)->title;
    return n;
}

void DeleteKeyIn(REGSAM view, HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        for (const char* sub : {"InprocServer32", ""})
            RegDeleteKeyExA(key, sub, view, 0);
        RegCloseKey(key);
    }
}

class WowViewTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        InstallEntryActions();
        Clean();
    }
    void TearDown() override
    {
        Clean();
        KxTest::TearDown();
    }
    void Clean()
    {
        for (const char* key : kRunKeys)
            for (REGSAM view : {(REGSAM)0, (REGSAM)KEY_WOW64_32KEY})
                for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
                    DeleteOwnValues(root, key, view);
        for (const char* sub : {"\\Run", "\\Run32", "\\StartupFolder"})
            for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
                DeleteOwnValues(root, std::string(STARTUP_APPROVED_KEY) + sub, 0);
        for (REGSAM view : {(REGSAM)0, (REGSAM)KEY_WOW64_32KEY}) {
            DeleteOwnValues(HKEY_LOCAL_MACHINE, kDelayLoad, view);
            for (const char* hooks : {kSharedTasks, kExecuteHooks})
                DeleteRegValue(HKEY_LOCAL_MACHINE, hooks, kClass, view);
            DeleteKeyIn(view, HKEY_LOCAL_MACHINE, kClassKey);
            DeleteKeyIn(view, HKEY_LOCAL_MACHINE, std::string(KX_BHO_KEY "\\") + kClass);
        }
    }
};

}  // namespace

// The premise of it all: under a 64-bit prefix the 32-bit view is a key of its own.
TEST_F(WowViewTest, TheThirtyTwoBitViewIsAKeyOfItsOwn)
{
    WriteView(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kRunKeys[0], "KxWowOnly32", "C:\\kx\\w32.exe");
    EXPECT_EQ("<none>", ReadView(0, HKEY_LOCAL_MACHINE, kRunKeys[0], "KxWowOnly32"));
    EXPECT_EQ("C:\\kx\\w32.exe",
              ReadView(0, HKEY_LOCAL_MACHINE,
                       "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
                       "KxWowOnly32"));
}

TEST_F(WowViewTest, EveryThirtyTwoBitRunKeyIsListedWithItsOwnCodeNameAndLocation)
{
    const struct {
        int key, code;
        const char* name;
        const char* location;
    } rows[] = {
        {0, 41, "MACHINE32_RUN", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run (32-bit)"},
        {1, 42, "MACHINE32_RUNONCE",
         "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce (32-bit)"},
        {2, 43, "MACHINE32_RUNONCEEX",
         "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx (32-bit)"},
        {3, 44, "MACHINE32_RUNSERVICES",
         "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices (32-bit)"},
        {4, 45, "MACHINE32_RUNSERVICESONCE",
         "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce (32-bit)"},
        {5, 46, "MACHINE32_RUNONCESETUP",
         "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup (32-bit)"},
        {6, 47, "MACHINE32_RUNPOLICY",
         "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run (32-bit)"},
    };
    for (const auto& row : rows)
        WriteView(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kRunKeys[row.key],
                  std::string("KxWow") + row.name, std::string("C:\\kx\\") + row.name + ".exe");
    BuildStartupList(0);
    int last = -1;
    for (const auto& row : rows) {
        std::string title = std::string("KxWow") + row.name;
        EXPECT_STREQ(row.name, TypeName(row.code));
        EXPECT_EQ(row.code, TypeCode(row.name));
        char location[512];
        LocationTextFor(row.code, title.c_str(), location);
        EXPECT_STREQ(row.location, location);
        // Windows (and Wine) share policies\Explorer\Run between the views: the value
        // written through the 32-bit view is the 64-bit entry, listed once.
        int index = ListedIndex(title);
        ASSERT_GE(index, 0) << title;
        EXPECT_EQ(1, CountListed(title));
        if (row.code == MACHINE32_RUNPOLICY) {
            EXPECT_EQ(MACHINE_RUNPOLICY, GetEntryType(index));
            continue;
        }
        EXPECT_EQ(row.code, GetEntryType(index)) << title;
        EXPECT_GT(index, last) << "the keys are read in their order";
        last = index;
        // The delayed-start store keeps them with the machine's entries.
        EXPECT_EQ(HKEY_LOCAL_MACHINE, DelayRootForCode(row.code));
    }
    EXPECT_EQ(HKEY_CURRENT_USER, DelayRootForCode(CURRENT_RUN));
}

TEST_F(WowViewTest, AValueSeenThroughBothViewsIsListedOnceAndANamesakeTwice)
{
    // Where both views show the very same value (a key Windows shares between them, or a
    // system without a 32-bit view) it is one entry; different data is a second program.
    for (REGSAM view : {(REGSAM)0, (REGSAM)KEY_WOW64_32KEY}) {
        WriteView(view, HKEY_LOCAL_MACHINE, kRunKeys[0], "KxWowSame", "C:\\kx\\same.exe");
        WriteView(view, HKEY_LOCAL_MACHINE, kRunKeys[0], "KxWowTwin",
                  view ? "C:\\kx\\twin32.exe" : "C:\\kx\\twin64.exe");
    }
    BuildStartupList(0);
    EXPECT_EQ(1, CountListed("KxWowSame"));
    EXPECT_NE(nullptr, Listed("KxWowSame", MACHINE_RUN));
    ASSERT_NE(nullptr, Listed("KxWowTwin", MACHINE_RUN));
    ASSERT_NE(nullptr, Listed("KxWowTwin", MACHINE32_RUN));
    EXPECT_STREQ("C:\\kx\\twin32.exe", Listed("KxWowTwin", MACHINE32_RUN)->command);
}

TEST_F(WowViewTest, DisableEnableRemoveAndRestoreWorkInTheThirtyTwoBitView)
{
    const char* title = "KxWowAgent";
    const std::string data = "\"C:\\Program Files (x86)\\Agent\\agent.exe\" /tray";
    const char* listed = "C:\\Program Files (x86)\\Agent\\agent.exe /tray";
    for (int key : {0, 1}) {
        SCOPED_TRACE(kRunKeys[key]);
        const int code = MACHINE32_RUN + key;
        WriteView(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kRunKeys[key], title, data);

        // Disable: out of the 32-bit key into the shared store, the index naming the view.
        ASSERT_EQ(1, DisableRunProgram(title, listed, "", code));
        EXPECT_EQ("<none>", ReadView(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kRunKeys[key], title));
        EXPECT_EQ(data, ReadValueText(HKEY_LOCAL_MACHINE, DisabledStoreKey(code), title));
        EXPECT_EQ(std::to_string(code), ReadValueText(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, title));
        BuildStartupList(0);
        ASSERT_NE(nullptr, Listed(title, code));
        char location[512];
        LocationText(ListedIndex(title), location);
        EXPECT_EQ(0, strncmp(location, " *    Disabled * HKLM\\", 22)) << location;

        // Written back by its program: disabled again by the next build.
        WriteView(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kRunKeys[key], title, data);
        BuildStartupList(0);
        EXPECT_EQ(1, CountListed(title));
        EXPECT_EQ("<none>", ReadView(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kRunKeys[key], title));

        // Enable: back into the 32-bit key as it was, never into the 64-bit one.
        ASSERT_EQ(1, DisableRunProgram(title, listed, "", code));
        EXPECT_EQ(data, ReadView(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kRunKeys[key], title));
        EXPECT_EQ("<none>", ReadView(0, HKEY_LOCAL_MACHINE, kRunKeys[key], title));
        EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, KX_DISABLED_KEY, title));

        // Remove, then restore from the history line, which names the view's code.
        DeleteFileA(TempPath("history.txt").c_str());
        ASSERT_EQ(1, DeleteRunProgram(title, listed, "", code));
        EXPECT_EQ("<none>", ReadView(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kRunKeys[key], title));
        EXPECT_NE(std::string::npos,
                  ReadTextFile(TempPath("history.txt")).find(TypeName(code)));
        ASSERT_EQ(1, ReadHistory());
        EXPECT_EQ(code, GetEntryType(0));
        EXPECT_EQ(1, RestoreHistoryEvent(0));
        EXPECT_EQ(data, ReadView(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kRunKeys[key], title));
        EXPECT_EQ("<none>", ReadView(0, HKEY_LOCAL_MACHINE, kRunKeys[key], title));
        EXPECT_EQ(std::to_string(code), ReadValueText(HKEY_CURRENT_USER, kKnownRun, listed));
        // A namesake in the next key right after it would be skipped as a repeat.
        DeleteOwnValues(HKEY_LOCAL_MACHINE, kRunKeys[key], KEY_WOW64_32KEY);
    }
}

// Windows' switch: the first byte of the binary value decides, odd meaning off.
TEST_F(WowViewTest, StartupSwitchesMarkEntriesOffInTheirOwnPlaces)
{
    std::string folder = TempPath("Startup");
    CreateDirectoryA(folder.c_str(), nullptr);
    SaveValue(HKEY_CURRENT_USER, kShellFolders, "Startup");
    WriteValueText(HKEY_CURRENT_USER, kShellFolders, "Startup", folder);
    const std::string item = folder + "\\KxWowItem.exe";
    ASSERT_TRUE(CopyFileA((TestProgramFolder() + "\\kxfx_app.exe").c_str(), item.c_str(), FALSE));

    const struct {
        const char* title;
        int type;
        HKEY switchRoot;
        const char* sub;
        int first;   // -1: no switch value
        bool off;
    } rows[] = {
        {"KxWowUserOff", CURRENT_RUN, HKEY_CURRENT_USER, "\\Run", 3, true},
        {"KxWowUserOn", CURRENT_RUN, HKEY_CURRENT_USER, "\\Run", 2, false},
        {"KxWowUserEven", CURRENT_RUN, HKEY_CURRENT_USER, "\\Run", 6, false},
        {"KxWowUserOdd", CURRENT_RUN, HKEY_CURRENT_USER, "\\Run", 7, true},
        {"KxWowUserNone", CURRENT_RUN, HKEY_CURRENT_USER, "\\Run", -1, false},
        // A switch in another place is not this entry's.
        {"KxWowUserElsewhere", CURRENT_RUN, HKEY_LOCAL_MACHINE, "\\Run", 3, false},
        {"KxWowMachineOff", MACHINE_RUN, HKEY_LOCAL_MACHINE, "\\Run", 3, true},
        {"KxWowMachine32Off", MACHINE32_RUN, HKEY_LOCAL_MACHINE, "\\Run32", 3, true},
        {"KxWowMachine32Wrong", MACHINE32_RUN, HKEY_LOCAL_MACHINE, "\\Run", 3, false},
        // Only Run has switches; RunOnce entries are never off by Windows.
        {"KxWowOnce", CURRENT_RUNONCE, HKEY_CURRENT_USER, "\\Run", 3, false},
    };
    for (const auto& row : rows) {
        HKEY root = row.type == CURRENT_RUN || row.type == CURRENT_RUNONCE ? HKEY_CURRENT_USER
                                                                           : HKEY_LOCAL_MACHINE;
        REGSAM view = row.type == MACHINE32_RUN ? KEY_WOW64_32KEY : 0;
        int key = row.type == CURRENT_RUNONCE ? 1 : 0;
        WriteView(view, root, kRunKeys[key], row.title, std::string("C:\\kx\\") + row.title + ".exe");
        if (row.first >= 0)
            WriteSwitch(row.switchRoot, row.sub, row.title, (BYTE)row.first);
    }
    WriteSwitch(HKEY_CURRENT_USER, "\\StartupFolder", "KxWowItem.exe", 3);

    BuildStartupList(0);
    char location[512];
    for (const auto& row : rows) {
        const EntryRecord* e = Listed(row.title, row.type);
        ASSERT_NE(nullptr, e) << row.title;
        EXPECT_EQ(row.off, e->offByWindows != 0) << row.title;
        LocationText(ListedIndex(row.title), location);
        EXPECT_EQ(row.off, strncmp(location, " *    Disabled by Windows * ", 28) == 0)
            << row.title << ": " << location;
    }
    int itemIndex = -1;
    for (int i = 0; i < EntryCount(); i++)
        if (GetEntry(i)->type == GROUP_STARTUP &&
            lstrcmpiA(GetEntry(i)->command, item.c_str()) == 0)
            itemIndex = i;
    ASSERT_GE(itemIndex, 0);
    EXPECT_EQ(1, GetEntry(itemIndex)->offByWindows);
    LocationText(itemIndex, location);
    EXPECT_STREQ(" *    Disabled by Windows * Windows Startup Group", location);
}

TEST_F(WowViewTest, SwitchingOnAndOffWritesWindowsLayoutAndKnowsWhatWasSwitchedOn)
{
    for (int type : {CURRENT_RUN, MACHINE32_RUN}) {
        SCOPED_TRACE(TypeName(type));
        HKEY root = type == CURRENT_RUN ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        const char* sub = type == CURRENT_RUN ? "\\Run" : "\\Run32";
        REGSAM view = type == MACHINE32_RUN ? KEY_WOW64_32KEY : 0;
        WriteView(view, root, kRunKeys[0], "KxWowSwitched", "C:\\kx\\switched.exe");
        WriteSwitch(root, sub, "KxWowSwitched", 3);
        BuildStartupList(0);
        const EntryRecord* e = Listed("KxWowSwitched", type);
        ASSERT_NE(nullptr, e);
        ASSERT_EQ(1, e->offByWindows);
        EntryRecord entry = *e;

        ASSERT_EQ(1, SetWindowsStartupSwitch(entry, 1));
        EXPECT_EQ(2, SwitchByte(root, sub, "KxWowSwitched"));
        EXPECT_EQ(std::to_string(type),
                  ReadValueText(HKEY_CURRENT_USER, kKnownRun, "C:\\kx\\switched.exe"));
        // The entry never moved.
        EXPECT_EQ("C:\\kx\\switched.exe", ReadView(view, root, kRunKeys[0], "KxWowSwitched"));
        BuildStartupList(0);
        EXPECT_EQ(0, Listed("KxWowSwitched", type)->offByWindows);

        ASSERT_EQ(1, SetWindowsStartupSwitch(entry, 0));
        EXPECT_EQ(3, SwitchByte(root, sub, "KxWowSwitched"));
        BuildStartupList(0);
        EXPECT_EQ(1, Listed("KxWowSwitched", type)->offByWindows);
        DeleteOwnValues(root, kRunKeys[0], view);
    }
    // Windows keeps no switch for a RunOnce entry: nothing is written.
    EntryRecord once = {};
    lstrcpyA(once.title, "KxWowOnce");
    once.type = CURRENT_RUNONCE;
    EXPECT_EQ(0, SetWindowsStartupSwitch(once, 0));
    EXPECT_EQ(-1, SwitchByte(HKEY_CURRENT_USER, "\\Run", "KxWowOnce"));
}

// The registry hooks of the 32-bit view: listed after the own view's under their own codes and
// locations, their classes looked up in that view; removed and restored there alone.
TEST_F(WowViewTest, ThirtyTwoBitHooksAreListedApartAndActOnlyInTheirView)
{
    lstrcpynA(g_programCaption, "KxWowCaption", sizeof(g_programCaption));
    SaveValue(HKEY_LOCAL_MACHINE, kAppInitKey, "AppInit_DLLs");
    SaveValue(HKEY_LOCAL_MACHINE,
              "Software\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
              "AppInit_DLLs");
    // One class, registered with another server for each view.
    WriteView(0, HKEY_LOCAL_MACHINE, (std::string(kClassKey) + "\\InprocServer32").c_str(), "",
              "C:\\kx64\\hook.dll");
    WriteView(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE,
              (std::string(kClassKey) + "\\InprocServer32").c_str(), "", "C:\\kx32\\hook.dll");
    const struct {
        int code;
        const char* name;
        const char* key;
        const char* value;
        const char* data32;
        const char* data64;
        const char* title;
        const char* command;
        const char* location;
    } rows[] = {
        {REG_Delayload32, "REG_Delayload32", kDelayLoad, "KxWowDelay", kClass, "{KxWowOther}",
         "KxWowDelay", "C:\\kx32\\hook.dll",
         "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad (32-bit)"},
        {REG_TaskScheduler32, "REG_TaskScheduler32", kSharedTasks, kClass, "KxWowTasks", "KxWow64",
         "KxWowTasks", "C:\\kx32\\hook.dll",
         "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler (32-bit)"},
        {REG_ShellExecuteHook32, "REG_ShellExecuteHook32", kExecuteHooks, kClass, "KxWowHook",
         "KxWow64", "KxWowHook", "C:\\kx32\\hook.dll",
         "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks (32-bit)"},
        {REG_AppInitDLLs32, "REG_AppInitDLLs32", kAppInitKey, "AppInit_DLLs",
         "C:\\kx32\\appinit.dll", "C:\\kx64\\appinit.dll", "appinit", "C:\\kx32\\appinit.dll",
         "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows  AppInit_DLLs (32-bit)"},
    };
    for (const auto& row : rows) {
        WriteView(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, row.key, row.value, row.data32);
        WriteView(0, HKEY_LOCAL_MACHINE, row.key, row.value, row.data64);
    }
    // The very same value in both views is one hook, of the own view.
    for (REGSAM view : {(REGSAM)0, (REGSAM)KEY_WOW64_32KEY})
        WriteView(view, HKEY_LOCAL_MACHINE, kDelayLoad, "KxWowShared", kClass);

    BuildStartupList(0);
    EXPECT_EQ(1, CountListed("KxWowShared"));
    EXPECT_NE(nullptr, Listed("KxWowShared", REG_Delayload));
    int last = -1;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_STREQ(row.name, TypeName(row.code));
        EXPECT_EQ(row.code, TypeCode(row.name));
        char location[512];
        LocationTextFor(row.code, row.title, location);
        EXPECT_STREQ(row.location, location);
        const EntryRecord* e = Listed(row.title, row.code);
        ASSERT_NE(nullptr, e);
        EXPECT_STREQ(row.command, e->command);
        int index = (int)(std::find(g_entries.items.data(), g_entries.items.data() + EntryCount(), e) -
                          g_entries.items.data());
        EXPECT_GT(index, last) << "after the own view's hooks, in their order";
        last = index;
    }

    DeleteFileA(TempPath("history.txt").c_str());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        BuildStartupList(0);
        EntryRecord entry = *Listed(row.title, row.code);
        DialogDriver yes("KxWowCaption", [](HWND box) { PostMessageA(box, WM_COMMAND, IDYES, 0); });
        EXPECT_EQ(1, DeleteRunProgram(entry.title, entry.command, entry.source, entry.type));
        yes.Join();
        EXPECT_EQ("<none>", ReadView(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, row.key, row.value));
        EXPECT_EQ(row.data64, ReadView(0, HKEY_LOCAL_MACHINE, row.key, row.value));
        EXPECT_NE(std::string::npos,
                  ReadTextFile(TempPath("history.txt")).find(row.name));

        EXPECT_EQ(1, RestoreEntry(entry.title, entry.command, entry.source, entry.type));
        EXPECT_EQ(row.data32, ReadView(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, row.key, row.value));
        EXPECT_EQ(row.data64, ReadView(0, HKEY_LOCAL_MACHINE, row.key, row.value));
    }
}

namespace {
void NoCommand(const char*) {}
}  // namespace

// A helper object registered for 32-bit browsers is one of its own; removing it leaves the
// own view's namesake.
TEST_F(WowViewTest, ThirtyTwoBitHelperObjectIsListedApartAndRemovedInItsView)
{
    SetAddOnCommandRunner(NoCommand);
    WriteView(0, HKEY_LOCAL_MACHINE, (std::string(kClassKey) + "\\InprocServer32").c_str(), "",
              "C:\\kx64\\helper.dll");
    WriteView(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE,
              (std::string(kClassKey) + "\\InprocServer32").c_str(), "", "C:\\kx32\\helper.dll");
    const std::string helper = std::string(KX_BHO_KEY "\\") + kClass;
    for (REGSAM view : {(REGSAM)0, (REGSAM)KEY_WOW64_32KEY})
        WriteView(view, HKEY_LOCAL_MACHINE, helper.c_str(), "", "");

    ListBrowserAddOns();
    const EntryRecord* own = Listed("helper.dll", TYPE_BHO);
    const EntryRecord* wow = Listed("helper.dll", TYPE_BHO32);
    ASSERT_NE(nullptr, own);
    ASSERT_NE(nullptr, wow);
    EXPECT_STREQ("C:\\kx64\\helper.dll", own->command);
    EXPECT_STREQ("C:\\kx32\\helper.dll", wow->command);
    EXPECT_STREQ("TYPE_BHO32", TypeName(TYPE_BHO32));
    char location[512];
    LocationTextFor(TYPE_BHO32, "helper.dll", location);
    EXPECT_STREQ("Internet Explorer - Browser Helper Object (32-bit)", location);

    EXPECT_EQ(1, RemoveAddOn("C:\\kx32\\helper.dll", 0));
    HKEY key;
    for (REGSAM view : {(REGSAM)0, (REGSAM)KEY_WOW64_32KEY}) {
        LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, helper.c_str(), 0, KEY_READ | view, &key);
        EXPECT_EQ(view ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS, status) << view;
        if (status == ERROR_SUCCESS)
            RegCloseKey(key);
    }
    ListBrowserAddOns();
    EXPECT_NE(nullptr, Listed("helper.dll", TYPE_BHO));
    EXPECT_EQ(nullptr, Listed("helper.dll", TYPE_BHO32));
    SetAddOnCommandRunner(nullptr);
}
