// Browser add-ons on real registry keys: what each kind lists, and what removal deletes.
#include "kxtest.h"
#include "addonactions.h"
#include "addons.h"
#include "entrylist.h"
#include <string>
#include <vector>

namespace {

const char kBho[] = "{6B1D5E0A-0000-4000-8000-00000000B001}";
const char kBhoNoServer[] = "{6B1D5E0A-0000-4000-8000-00000000B002}";
const char kToolbar[] = "6B1D5E0A-0000-4000-8000-00000000B003";    // named without braces
const char kToolbarNoServer[] = "{6B1D5E0A-0000-4000-8000-00000000B004}";
const char* const kButtons[] = {"{6B1D5E0A-0000-4000-8000-00000000B005}",
                                "{6B1D5E0A-0000-4000-8000-00000000B006}",
                                "{6B1D5E0A-0000-4000-8000-00000000B007}",
                                "{6B1D5E0A-0000-4000-8000-00000000B008}"};

std::vector<std::string> g_commands;
void Record(const char* line) { g_commands.push_back(line); }

class AddOnsTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        for (const char* id : {kBho, kBhoNoServer}) {
            ForgetKey(HKEY_LOCAL_MACHINE, std::string(KX_BHO_KEY "\\") + id);
            ForgetKey(HKEY_CLASSES_ROOT, std::string("CLSID\\") + id);
        }
        ForgetKey(HKEY_CLASSES_ROOT, std::string("CLSID\\{") + kToolbar + "}");
        ForgetKey(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kToolbarNoServer);
        SaveValue(HKEY_LOCAL_MACHINE, KX_TOOLBAR_KEY, kToolbar);
        SaveValue(HKEY_LOCAL_MACHINE, KX_TOOLBAR_KEY, kToolbarNoServer);
        for (const char* id : kButtons)
            ForgetKey(HKEY_LOCAL_MACHINE, std::string(KX_EXTENSIONS_KEY "\\") + id);
        hook_ = TestProgramFolder() + "\\kxfx_hook.dll";
        g_commands.clear();
        SetAddOnCommandRunner(Record);
    }
    void TearDown() override
    {
        SetAddOnCommandRunner(nullptr);
        ClearEntries();
        KxTest::TearDown();
    }

    void Server(const std::string& clsid, const std::string& server)
    {
        WriteValueText(HKEY_CLASSES_ROOT, "CLSID\\" + clsid, "", "Fixture class");
        if (!server.empty())
            WriteValueText(HKEY_CLASSES_ROOT, "CLSID\\" + clsid + "\\InprocServer32", "", server);
    }
    void Button(int i, const char* text, const char* exec, const char* script, const char* icon)
    {
        std::string key = std::string(KX_EXTENSIONS_KEY "\\") + kButtons[i];
        WriteValueText(HKEY_LOCAL_MACHINE, key, "ButtonText", text);
        if (exec)
            WriteValueText(HKEY_LOCAL_MACHINE, key, "Exec", exec);
        if (script)
            WriteValueText(HKEY_LOCAL_MACHINE, key, "script", script);
        if (icon)
            WriteValueText(HKEY_LOCAL_MACHINE, key, "HotIcon", icon);
    }
    static const EntryRecord* BySource(const std::string& source)
    {
        for (int i = 0; i < EntryCount(); i++)
            if (source == GetEntry(i)->source)
                return GetEntry(i);
        return nullptr;
    }

    std::string hook_;
};

TEST_F(AddOnsTest, EachKindListsItsTitleCommandAndDetail)
{
    WriteValueText(HKEY_LOCAL_MACHINE, std::string(KX_BHO_KEY "\\") + kBho, "", "");
    Server(kBho, hook_);
    WriteValueText(HKEY_LOCAL_MACHINE, std::string(KX_BHO_KEY "\\") + kBhoNoServer, "", "");
    Server(kBhoNoServer, "");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_TOOLBAR_KEY, kToolbar, "");
    Server(std::string("{") + kToolbar + "}", TestProgramFolder() + "\\kxfx_plain.exe");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_TOOLBAR_KEY, kToolbarNoServer, "");
    Server(kToolbarNoServer, "");
    std::string app = TestProgramFolder() + "\\kxfx_app.exe";
    std::string plain = TestProgramFolder() + "\\kxfx_plain.exe";
    Button(0, "Open in shdoclc.dll helper", plain.c_str(), nullptr, "C:\\kx\\hot.ico");
    Button(1, "Open in shdoclc.dll helper", nullptr, app.c_str(), nullptr);   // script, named
    Button(2, "Bare button", nullptr, nullptr, nullptr);
    Button(3, "", app.c_str(), nullptr, nullptr);                            // no text: skipped

    int count = ListBrowserAddOns();
    EXPECT_EQ(EntryCount(), count);

    const EntryRecord* bho = BySource(kBho);
    ASSERT_NE(nullptr, bho);
    EXPECT_EQ(TYPE_BHO, bho->type);
    EXPECT_STREQ("Fixture Hook", bho->title);
    EXPECT_STREQ(hook_.c_str(), bho->command);
    EXPECT_STREQ("5.6.7", bho->detail);
    EXPECT_EQ(nullptr, BySource(kBhoNoServer));

    const EntryRecord* toolbar = BySource(kToolbar);
    ASSERT_NE(nullptr, toolbar);
    EXPECT_EQ(TYPE_TOOLBAR, toolbar->type);
    EXPECT_STREQ("kxfx_plain.exe", toolbar->title);   // no version block: the file name
    const EntryRecord* bare = BySource(kToolbarNoServer);
    ASSERT_NE(nullptr, bare);
    EXPECT_STREQ("", bare->command);

    const EntryRecord* related = BySource(kButtons[0]);
    ASSERT_NE(nullptr, related);
    EXPECT_EQ(TYPE_EXTENSION, related->type);
    EXPECT_STREQ("Related", related->title);
    EXPECT_STREQ("C:\\kx\\hot.ico", related->detail);
    const EntryRecord* named = BySource(kButtons[1]);
    ASSERT_NE(nullptr, named);
    EXPECT_STREQ("Fixture App", named->title);   // the program's ProductName wins
    EXPECT_STRCASEEQ(app.c_str(), named->command);
    EXPECT_STRCASEEQ(app.c_str(), named->detail);   // no HotIcon: the command
    const EntryRecord* empty = BySource(kButtons[2]);
    ASSERT_NE(nullptr, empty);
    EXPECT_STREQ("", empty->command);
    EXPECT_STREQ("", empty->detail);
    EXPECT_EQ(nullptr, BySource(kButtons[3]));
}

TEST_F(AddOnsTest, RemovingOneRemovesEveryAddOnOfItsServer)
{
    WriteValueText(HKEY_LOCAL_MACHINE, std::string(KX_BHO_KEY "\\") + kBho, "", "");
    Server(kBho, hook_);
    WriteValueText(HKEY_LOCAL_MACHINE, KX_TOOLBAR_KEY, kToolbar, "");
    Server(std::string("{") + kToolbar + "}", hook_);
    WriteValueText(HKEY_LOCAL_MACHINE, KX_TOOLBAR_KEY, kToolbarNoServer, "");
    Server(kToolbarNoServer, "");
    ListBrowserAddOns();

    EXPECT_EQ(2, RemoveAddOn(hook_.c_str(), 0));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(KX_BHO_KEY "\\") + kBho));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, KX_TOOLBAR_KEY, kToolbar));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, KX_TOOLBAR_KEY, kToolbarNoServer));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kBho));   // only unregistered
    ASSERT_EQ(2u, g_commands.size());
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof(system));
    EXPECT_EQ("\"" + std::string(system) + "\\regsvr32.exe\" /u /s \"" + hook_ + "\"", g_commands[0])
        << "the System folder's regsvr32, never one in the current folder";

    std::string history = ReadTextFile(TempPath("history.txt"));
    size_t first = history.find("IEHELPER_Remove");
    ASSERT_NE(std::string::npos, first) << history;
    EXPECT_NE(std::string::npos, history.find("IEHELPER_Remove", first + 1)) << history;
    EXPECT_NE(std::string::npos, history.find("kxfx_hook.dll")) << history;
    EXPECT_EQ(std::string::npos, history.find("TYPE_TOOLBAR")) << history;   // logged as helpers
}

}   // namespace
