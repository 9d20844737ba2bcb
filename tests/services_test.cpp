// Services against the real service manager: a test service is created, started, stopped
// and disabled; registry-only service keys cover the listing rules and bad input.
#include "kxtest.h"
#include "entrylist.h"
#include "keys.h"
#include "options.h"
#include "registry.h"
#include "serviceactions.h"
#include "services.h"
#include "watched_items.h"
#include <cstring>
#include <string>

namespace {

const char kSvc[] = "KxFixtureSvc";
const char kSvcDisplay[] = "Orvane Fixture Service";
const std::string kRoot = "SYSTEM\\CurrentControlSet\\Services\\";

// Registry-only services: the manager does not know them, the inventory reads their keys.
const char* const kKeys[] = {"KxSvcDriver", "KxSvcQuoted", "KxSvcHostNoDll", "KxSvcHostDll",
                             "KxSvcNumber", "KxSvcNoImage", "KxSvcBoot", "KxSvcIndirect",
                             "KxSvcBadIndirect", "KxSvcMicrosoft", "KxSvcPlain"};

int GetRegNumberForTest(const std::string& key)
{
    DWORD value = 0, size = sizeof(value);
    RegGetValueA(HKEY_LOCAL_MACHINE, (kRoot + key).c_str(), "Start", RRF_RT_REG_DWORD, nullptr,
                 &value, &size);
    return (int)value;
}

class ServicesTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        RemoveService();
        for (const char* key : kKeys)
            ForgetKey(HKEY_LOCAL_MACHINE, kRoot + key);
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideMicrosoftServices", "1");
    }
    void TearDown() override
    {
        RemoveService();
        ClearEntries();
        KxTest::TearDown();
    }

    std::string Fixture(const char* name) const { return TestProgramFolder() + "\\" + name; }

    static bool CreateFixtureService()
    {
        return ::CreateFixtureService(kSvc, kSvcDisplay, SERVICE_DEMAND_START, "Runs until stopped.");
    }
    static void RemoveService() { ::RemoveService(kSvc); }
    static DWORD WaitForState(SC_HANDLE service, DWORD wanted)
    {
        return WaitForServiceState(service, wanted);
    }
    static DWORD StartAndWait(DWORD wanted) { return StartServiceAndWait(kSvc, wanted); }

    void Key(const char* name, const char* image, DWORD imageType = REG_EXPAND_SZ)
    {
        std::string path = kRoot + name;
        if (image)
            WriteValueText(HKEY_LOCAL_MACHINE, path, "ImagePath", image, imageType);
        WriteValueText(HKEY_LOCAL_MACHINE, path, "DisplayName", std::string("Display ") + name);
        HKEY key;
        RegCreateKeyA(HKEY_LOCAL_MACHINE, path.c_str(), &key);
        DWORD start = 3;
        RegSetValueExA(key, "Start", 0, REG_DWORD, (const BYTE*)&start, sizeof(start));
        RegCloseKey(key);
    }
    void Start(const char* name, DWORD start)
    {
        HKEY key;
        RegCreateKeyA(HKEY_LOCAL_MACHINE, (kRoot + name).c_str(), &key);
        RegSetValueExA(key, "Start", 0, REG_DWORD, (const BYTE*)&start, sizeof(start));
        RegCloseKey(key);
    }

    // Index of the listed entry with that title, -1 when absent.
    static int Find(const std::string& title)
    {
        for (int i = 0; i < EntryCount(); i++)
            if (title == GetEntry(i)->title)
                return i;
        return -1;
    }
};

TEST_F(ServicesTest, ListsTheRealServiceWithItsManagerNameStartTypeAndDescription)
{
    ASSERT_TRUE(CreateFixtureService());
    EXPECT_EQ(0, ListServices());
    int i = Find(kSvcDisplay);
    ASSERT_GE(i, 0);
    const EntryRecord* e = GetEntry(i);
    EXPECT_EQ(SERVICE_EXE, e->type);
    EXPECT_STREQ(Fixture("kxfx_service.exe").c_str(), e->command);   // quotes stripped
    EXPECT_STREQ("Manual", e->source);
    EXPECT_STREQ("Runs until stopped.", e->detail);
    char name[4096];
    EXPECT_EQ(1, ServiceDisplayName(kSvc, name, sizeof(name)));
    EXPECT_STREQ(kSvcDisplay, name);
    EXPECT_EQ(0, ServiceDisplayName("KxNoSuchService", name, sizeof(name)));
}

TEST_F(ServicesTest, ListingRulesAndBadKeys)
{
    std::string plain = Fixture("kxfx_plain.exe"), oshook = Fixture("kxfx_oshook.dll");
    Key("KxSvcDriver", "System32\\drivers\\kxfx.sys");
    Key("KxSvcQuoted", ("\"" + plain + "\" -service").c_str());
    Key("KxSvcHostNoDll", "%SystemRoot%\\system32\\svchost.exe -k kxfx");
    Key("KxSvcHostDll", "%SystemRoot%\\system32\\svchost.exe -k kxfx");
    WriteValueText(HKEY_LOCAL_MACHINE, kRoot + "KxSvcHostDll\\Parameters", "ServiceDll",
                   Fixture("kxfx_hook.dll"));
    Key("KxSvcNumber", "C:\\kx\\number.exe", REG_DWORD);   // not text: skipped
    Key("KxSvcNoImage", nullptr);
    Key("KxSvcBoot", plain.c_str());
    Start("KxSvcBoot", 0);
    Key("KxSvcIndirect", plain.c_str());
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    WriteValueText(HKEY_LOCAL_MACHINE, kRoot + "KxSvcIndirect", "DisplayName",
                   std::string("@") + self + ",-664");
    Key("KxSvcBadIndirect", plain.c_str());
    WriteValueText(HKEY_LOCAL_MACHINE, kRoot + "KxSvcBadIndirect", "DisplayName",
                   "@C:\\kx\\missing.dll,-1");
    Key("KxSvcMicrosoft", "%SystemRoot%\\system32\\svchost.exe -k kxfx");
    WriteValueText(HKEY_LOCAL_MACHINE, kRoot + "KxSvcMicrosoft\\Parameters", "ServiceDll", oshook);
    Start("KxSvcQuoted", 2);

    ListServices();
    EXPECT_LT(Find("Display KxSvcDriver"), 0);
    EXPECT_LT(Find("Display KxSvcNumber"), 0);
    EXPECT_LT(Find("Display KxSvcNoImage"), 0);
    EXPECT_LT(Find("Display KxSvcMicrosoft"), 0);   // CompanyName mentions Microsoft

    int quoted = Find("Display KxSvcQuoted");
    ASSERT_GE(quoted, 0);
    EXPECT_STREQ((plain + " -service").c_str(), GetEntry(quoted)->command);
    EXPECT_STREQ("Automatic", GetEntry(quoted)->source);
    EXPECT_EQ(SERVICE_EXE, GetEntry(quoted)->type);

    int noDll = Find("Display KxSvcHostNoDll");
    ASSERT_GE(noDll, 0);
    EXPECT_EQ(SERVICE_SVCHOST, GetEntry(noDll)->type);
    EXPECT_NE(nullptr, strstr(GetEntry(noDll)->command, "svchost.exe -k kxfx"));
    int withDll = Find("Display KxSvcHostDll");
    ASSERT_GE(withDll, 0);
    EXPECT_STREQ(Fixture("kxfx_hook.dll").c_str(), GetEntry(withDll)->command);

    int boot = Find("Display KxSvcBoot");
    ASSERT_GE(boot, 0);
    EXPECT_STREQ("0", GetEntry(boot)->source);
    EXPECT_GE(Find("Automatic"), 0);           // indirect name resolved from the string table
    EXPECT_GE(Find("KxSvcBadIndirect"), 0);    // unresolvable: the key name, never "@..."
    for (int i = 0; i < EntryCount(); i++)
        EXPECT_NE('@', GetEntry(i)->title[0]) << GetEntry(i)->title;

    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideMicrosoftServices", "0");
    ListServices();
    EXPECT_GE(Find("Display KxSvcMicrosoft"), 0);

    char text[1024];
    WriteValueText(HKEY_LOCAL_MACHINE, kRoot + "KxSvcHostDll", "Description", "Hosted fixture");
    char key[260];
    strcpy(key, Fixture("kxfx_hook.dll").c_str());
    CharUpperA(key);
    EXPECT_EQ(14, ServiceDescriptionByPath(key, text, sizeof(text)));
    EXPECT_STREQ("Hosted fixture", text);
    EXPECT_EQ(0, ServiceDescriptionByPath("C:\\KX\\NONE.EXE", text, sizeof(text)));
    EXPECT_STREQ("", text);
}

// Drivers (service types 1 and 2) are listed with the "ShowDrivers" option or for the monitor,
// as the file the loader reads, with their kind and boot or system start; what is no driver
// by its Type is listed as before.
TEST_F(ServicesTest, DriversListByTypeWithTheirFileKindAndStart)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    const std::string win = windows;
    const struct {
        const char* key;
        const char* image;
        DWORD type;   // 0: no Type value
        DWORD start;
        int code;     // 0: not listed at all
        std::string file, start_text;
    } cases[] = {
        {"KxDrvBoot", "\\SystemRoot\\System32\\drivers\\kxboot.sys", 1, 0, DRIVER_SERVICE,
         win + "\\System32\\drivers\\kxboot.sys", "Boot"},
        {"KxDrvRelative", "System32\\DRIVERS\\kxrel.sys", 2, 1, DRIVER_SERVICE,
         win + "\\System32\\DRIVERS\\kxrel.sys", "System"},
        {"KxDrvNt", "\\??\\C:\\kx\\kxnt.sys", 1, 3, DRIVER_SERVICE, "C:\\kx\\kxnt.sys", "Manual"},
        {"KxDrvAbsolute", "C:\\kx\\kxabs.sys", 2, 4, DRIVER_SERVICE, "C:\\kx\\kxabs.sys",
         "Disabled"},
        // A service claiming boot start keeps the number; an adapter of type 4 stays unlisted.
        {"KxDrvNotDriver", "C:\\kx\\kxown.exe", 0x10, 0, SERVICE_EXE, "C:\\kx\\kxown.exe", "0"},
        {"KxDrvAdapter", "C:\\kx\\kxadapter.sys", 4, 3, 0, "", ""},
        // No file named: the kernel loads the key's name from the drivers folder; a service
        // without one cannot start.
        {"KxDrvNoImage", nullptr, 1, 1, DRIVER_SERVICE,
         win + "\\System32\\drivers\\KxDrvNoImage.sys", "System"},
        {"KxDrvEmptyImage", "", 2, 3, DRIVER_SERVICE,
         win + "\\System32\\drivers\\KxDrvEmptyImage.sys", "Manual"},
        {"KxDrvServiceNoImage", nullptr, 0x10, 3, 0, "", ""},
    };
    for (const auto& c : cases) {
        ForgetKey(HKEY_LOCAL_MACHINE, kRoot + c.key);
        Key(c.key, c.image);
        Start(c.key, c.start);
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, (kRoot + c.key).c_str(), "Type", REG_DWORD, &c.type, 4);
    }
    for (int pass = 0; pass < 3; pass++) {
        bool drivers = pass > 0;
        WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "ShowDrivers", pass == 1 ? "1" : "0");
        if (pass == 2)
            ListServicesAndDrivers();   // whatever the option
        else
            ListServices();
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.key) + " pass " + std::to_string(pass));
            int i = Find(std::string("Display ") + c.key);
            bool listed = c.code == SERVICE_EXE || (c.code == DRIVER_SERVICE && drivers);
            ASSERT_EQ(listed, i >= 0);
            if (!listed)
                continue;
            const EntryRecord* e = GetEntry(i);
            EXPECT_EQ(c.code, e->type);
            EXPECT_STREQ(c.file.c_str(), e->command);
            EXPECT_STREQ(c.start_text.c_str(), e->source);
            EXPECT_STREQ(c.key, e->key);
            if (c.code == DRIVER_SERVICE) {
                EXPECT_EQ(c.type == 2 ? "File system driver" : "Kernel driver",
                          DriverKindText(e->tag));
            }
        }
    }
}

// Each kind has a listing of its own, and a listing of one kind passes over the keys it
// saw holding the other while they stay unwritten: a service made a driver, or a driver made a
// service, moves between the lists at once, whichever was read last.
TEST_F(ServicesTest, AServiceTurnedDriverAndBackMovesBetweenTheKindsLists)
{
    struct Seam {   // every write counts as long past, so that each kind seen is kept
        Seam() { SetRegistryClockSeam([]() -> ULONGLONG { return ~0ULL >> 2; }); }
        ~Seam() { SetRegistryClockSeam(nullptr); }
    } seam;
    Key("KxSvcDriver", "C:\\kx\\kxturn.exe");
    const std::string title = "Display KxSvcDriver";
    for (DWORD type : {0x10u, 1u, 0x20u, 2u, 0x10u}) {
        SCOPED_TRACE(type);
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, (kRoot + "KxSvcDriver").c_str(), "Type", REG_DWORD,
                        &type, 4);
        const bool driver = type == 1 || type == 2;
        for (int round = 0; round < 2; round++) {
            ListDrivers();
            EXPECT_EQ(driver, Find(title) >= 0);
            ListServiceEntries(false);
            EXPECT_EQ(!driver, Find(title) >= 0);
            ListServicesAndDrivers();
            ASSERT_GE(Find(title), 0);
            EXPECT_EQ(driver ? DRIVER_SERVICE : SERVICE_EXE, GetEntry(Find(title))->type);
        }
    }
}

// A listing is handed out again between passes: each thing it depends on must still show.
TEST_F(ServicesTest, AKeptListingFollowsKeysSubkeysAndReplacedMicrosoftFiles)
{
    std::string library = TempPath("kxhosted.dll");
    ASSERT_TRUE(CopyFileA(Fixture("kxfx_oshook.dll").c_str(), library.c_str(), FALSE));
    Key("KxSvcMicrosoft", "%SystemRoot%\\system32\\svchost.exe -k kxfx");
    WriteValueText(HKEY_LOCAL_MACHINE, kRoot + "KxSvcMicrosoft\\Parameters", "ServiceDll", library);
    Key("KxSvcHostDll", "%SystemRoot%\\system32\\svchost.exe -k kxfx");
    WriteValueText(HKEY_LOCAL_MACHINE, kRoot + "KxSvcHostDll\\Parameters", "ServiceDll",
                   Fixture("kxfx_hook.dll"));
    ListServices();
    int count = EntryCount();
    ListServices();
    EXPECT_EQ(count, EntryCount());
    EXPECT_LT(Find("Display KxSvcMicrosoft"), 0);

    // Someone else's library in place of the Microsoft one: the service shows.
    ASSERT_TRUE(CopyFileA(Fixture("kxfx_plain.exe").c_str(), library.c_str(), FALSE));
    ListServices();
    EXPECT_GE(Find("Display KxSvcMicrosoft"), 0);
    // A value in a service's subkey, and a new service.
    WriteValueText(HKEY_LOCAL_MACHINE, kRoot + "KxSvcHostDll\\Parameters", "ServiceDll",
                   Fixture("kxfx_oshook.dll"));
    Key("KxSvcPlain", Fixture("kxfx_plain.exe").c_str());
    ListServices();
    EXPECT_EQ(count + 1, EntryCount());
    EXPECT_LT(Find("Display KxSvcHostDll"), 0) << "its library is Microsoft's now";
    EXPECT_GE(Find("Display KxSvcPlain"), 0);
}

TEST_F(ServicesTest, StateStopAndStartTypeThroughTheManager)
{
    ASSERT_TRUE(CreateFixtureService());
    char text[256] = "sentinel";
    EXPECT_EQ(0u, ServiceStateText(kSvc, text, sizeof(text)));
    EXPECT_STREQ("Stopped", text);
    EXPECT_EQ(0u, ServiceAcceptedControls(kSvc));
    EXPECT_EQ(0, SendServiceControl(kSvc, SERVICE_CONTROL_STOP));   // nothing to stop

    ASSERT_EQ((DWORD)SERVICE_RUNNING, StartAndWait(SERVICE_RUNNING));
    DWORD state = ServiceStateText(kSvc, text, sizeof(text));
    EXPECT_EQ((DWORD)SERVICE_RUNNING, state >> 16);
    EXPECT_EQ((DWORD)SERVICE_WIN32_OWN_PROCESS, state & 0xFFFF);
    EXPECT_STREQ("Running", text);
    EXPECT_TRUE(ServiceAcceptedControls(kSvc) & SERVICE_ACCEPT_STOP);

    EXPECT_EQ(1, SendServiceControl(kSvc, SERVICE_CONTROL_STOP));
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, GENERIC_READ);
    SC_HANDLE service = OpenServiceA(manager, kSvc, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
    EXPECT_EQ((DWORD)SERVICE_STOPPED, WaitForState(service, SERVICE_STOPPED));

    EXPECT_EQ(1, SetServiceStartType(kSvc, SERVICE_DISABLED));
    EXPECT_EQ(4, GetRegNumberForTest(kSvc));
    BYTE buffer[8192];
    DWORD needed = 0;
    ASSERT_TRUE(QueryServiceConfigA(service, (QUERY_SERVICE_CONFIGA*)buffer, sizeof(buffer), &needed));
    EXPECT_EQ((DWORD)SERVICE_DISABLED, ((QUERY_SERVICE_CONFIGA*)buffer)->dwStartType);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    // A disabled service cannot be started behind the user's back.
    EXPECT_NE((DWORD)SERVICE_RUNNING, StartAndWait(SERVICE_RUNNING));
    EXPECT_EQ(0, SetServiceStartType("No Such Key", SERVICE_DISABLED));
    // The display name is no key: nothing is found by it.
    EXPECT_EQ(0, SetServiceStartType(kSvcDisplay, SERVICE_DEMAND_START));
    EXPECT_EQ(0u, ServiceAcceptedControls(kSvcDisplay));
}

TEST_F(ServicesTest, StartTypeFollowsTheNameTheListShows)
{
    // The list shows the key name for an indirect name it cannot resolve; refusing that
    // entry must still reach the service.
    Key("KxSvcBadIndirect", Fixture("kxfx_plain.exe").c_str());
    WriteValueText(HKEY_LOCAL_MACHINE, kRoot + "KxSvcBadIndirect", "DisplayName",
                   "@C:\\kx\\missing.dll,-1");
    EXPECT_EQ(1, SetServiceStartType("KxSvcBadIndirect", SERVICE_DISABLED));
    EXPECT_EQ(4, GetRegNumberForTest("KxSvcBadIndirect"));
}

}   // namespace
