#include "kxtest.h"
#include "firstrun.h"
#include "handles.h"
#include "keys.h"
#include "kxversion.h"
#include "options.h"
#include "program.h"
#include "registry.h"
#include "resstring.h"
#include "sysmessage.h"
#include "textutil.h"
#include "trace.h"
#include "versioninfo.h"
#include "winpos.h"
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

static const char* const kTestKey = "Software\\Orvane\\Kestrix\\LayerTest";

class RegistryLayerTest : public KxTest {};

TEST_F(RegistryLayerTest, WriteThenReadStringCreatesTheKey)
{
    EXPECT_EQ(1, SetRegValue(HKEY_CURRENT_USER, kTestKey, "Name", "value one"));
    char buf[64];
    memset(buf, 0xbd, sizeof(buf));
    EXPECT_EQ(9, GetRegValue(HKEY_CURRENT_USER, kTestKey, "Name", buf, sizeof(buf)));
    EXPECT_STREQ("value one", buf);
}

TEST_F(RegistryLayerTest, MissingKeyOrValueReadsEmpty)
{
    char buf[64];
    memset(buf, 0xbd, sizeof(buf));
    EXPECT_EQ(0, GetRegValue(HKEY_CURRENT_USER, kTestKey, "Name", buf, sizeof(buf)));
    EXPECT_STREQ("", buf);
    CreateRegKey(HKEY_CURRENT_USER, kTestKey);
    memset(buf, 0xbd, sizeof(buf));
    EXPECT_EQ(0, GetRegValue(HKEY_CURRENT_USER, kTestKey, "Name", buf, sizeof(buf)));
    EXPECT_STREQ("", buf);
}

TEST_F(RegistryLayerTest, TooLongValueReadsEmptyNeverTruncated)
{
    std::string text(300, 'x');
    WriteValueText(HKEY_CURRENT_USER, kTestKey, "Long", text);
    char buf[260];
    memset(buf, 0xbd, sizeof(buf));
    EXPECT_EQ(0, GetRegValue(HKEY_CURRENT_USER, kTestKey, "Long", buf, sizeof(buf)));
    EXPECT_STREQ("", buf);
    // Exactly filling the buffer but for the terminator still fits.
    WriteValueText(HKEY_CURRENT_USER, kTestKey, "Fits", std::string(259, 'y'));
    EXPECT_EQ(259, GetRegValue(HKEY_CURRENT_USER, kTestKey, "Fits", buf, sizeof(buf)));
    WriteValueText(HKEY_CURRENT_USER, kTestKey, "Over", std::string(260, 'y'));
    EXPECT_EQ(0, GetRegValue(HKEY_CURRENT_USER, kTestKey, "Over", buf, sizeof(buf)));
    // Values beyond the 1024-byte read buffer read as missing even into a large buffer.
    WriteValueText(HKEY_CURRENT_USER, kTestKey, "Huge", std::string(2000, 'z'));
    char big[4096];
    EXPECT_EQ(0, GetRegValue(HKEY_CURRENT_USER, kTestKey, "Huge", big, sizeof(big)));
}

TEST_F(RegistryLayerTest, ExpandStringIsReturnedExpanded)
{
    SetEnvironmentVariableA("KX_TEST_FOLDER", "C:\\KxFolder");
    WriteValueText(HKEY_CURRENT_USER, kTestKey, "Path", "%KX_TEST_FOLDER%\\app.exe",
                   REG_EXPAND_SZ);
    char buf[260];
    EXPECT_EQ(19, GetRegValue(HKEY_CURRENT_USER, kTestKey, "Path", buf, sizeof(buf)));
    EXPECT_STREQ("C:\\KxFolder\\app.exe", buf);
}

TEST_F(RegistryLayerTest, NumbersAreReadAsTheirLowSixteenBits)
{
    EXPECT_EQ(1, SetRegNumber(HKEY_CURRENT_USER, kTestKey, "N", 0x00012345));
    EXPECT_EQ(0x2345, GetRegNumber(HKEY_CURRENT_USER, kTestKey, "N"));
    EXPECT_EQ(0, GetRegNumber(HKEY_CURRENT_USER, kTestKey, "Missing"));
}

TEST_F(RegistryLayerTest, DeleteValueReportsWhetherItDeleted)
{
    EXPECT_EQ(0, DeleteRegValue(HKEY_CURRENT_USER, kTestKey, "V"));   // no key
    SetRegValue(HKEY_CURRENT_USER, kTestKey, "V", "1");
    EXPECT_EQ(1, DeleteRegValue(HKEY_CURRENT_USER, kTestKey, "V"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kTestKey, "V"));
    EXPECT_EQ(0, DeleteRegValue(HKEY_CURRENT_USER, kTestKey, "V"));
}

TEST_F(RegistryLayerTest, BlockedRootRefusesWritesLikeAUserWithoutRights)
{
    SetRegistryWriteBlock(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(0, SetRegValue(HKEY_LOCAL_MACHINE, kTestKey, "V", "1"));
    EXPECT_EQ(0, CreateRegKey(HKEY_LOCAL_MACHINE, kTestKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kTestKey));
    EXPECT_EQ(1, SetRegValue(HKEY_CURRENT_USER, kTestKey, "V", "1"));
}

// The walks read every name and every byte however long, a value written during a walk
// included, and end where a visit says.
class RegistryWalkTest : public KxTest {
protected:
    struct Stored {
        DWORD type;
        std::string data;
        bool operator==(const Stored& o) const { return type == o.type && data == o.data; }
    };
    void Write(const std::string& name, DWORD type, const std::string& data)
    {
        RegKey key;
        ASSERT_TRUE(key.create(HKEY_CURRENT_USER, kTestKey));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.get(), name.c_str(), 0, type,
                                                (const BYTE*)data.data(), (DWORD)data.size()));
        written_[name] = {type, data};
    }
    std::map<std::string, Stored> written_;
};

TEST_F(RegistryWalkTest, EveryValueAndSubkeyIsReadWholeHoweverLong)
{
    Write("", REG_SZ, std::string("default", 8));
    Write("short", REG_SZ, std::string("text", 5));
    Write(std::string(300, 'n'), REG_SZ, std::string(5000, 'x') + '\0');
    Write(std::string(16383, 'm'), REG_EXPAND_SZ, std::string("%PATH%", 7));
    Write("number", REG_DWORD, std::string("\x78\x56\x34\x12", 4));
    Write("bytes", REG_BINARY, "abc");   // no terminator: text() still ends after it
    Write("empty", REG_BINARY, "");
    // Subkeys: a short name and one of the longest the registry takes (made under the open
    // key: Wine's ANSI calls take a path of at most 260 characters).
    std::set<std::string> subkeys = {"a", std::string(255, 'k')};
    {
        RegKey parent, sub;
        ASSERT_TRUE(parent.open(HKEY_CURRENT_USER, kTestKey, KEY_ALL_ACCESS));
        for (const std::string& name : subkeys)
            ASSERT_TRUE(sub.create(parent.get(), name.c_str())) << name.size();
    }

    std::map<std::string, Stored> values;
    EXPECT_EQ(REG_WALK_DONE, ForEachValue(HKEY_CURRENT_USER, kTestKey, [&](const RegValueItem& v) {
                  values[v.name] = {v.type, v.data};
                  if (v.name == "bytes") {
                      EXPECT_STREQ("abc", v.text());
                  }
              }));
    EXPECT_TRUE(values == written_);

    std::set<std::string> names, texts, keys;
    ForEachValueName(HKEY_CURRENT_USER, kTestKey, [&](const std::string& n) { names.insert(n); });
    ForEachTextValue(HKEY_CURRENT_USER, kTestKey,
                     [&](const RegValueItem& v) { texts.insert(v.name); });
    EXPECT_EQ(REG_WALK_DONE, ForEachSubkey(HKEY_CURRENT_USER, kTestKey,
                                           [&](const std::string& n) { keys.insert(n); }));
    std::set<std::string> allNames, textNames;
    for (const auto& w : written_) {
        allNames.insert(w.first);
        if (w.second.type == REG_SZ || w.second.type == REG_EXPAND_SZ)
            textNames.insert(w.first);
    }
    EXPECT_EQ(allNames, names);
    EXPECT_EQ(textNames, texts);
    EXPECT_EQ(subkeys, keys);
}

TEST_F(RegistryWalkTest, AValueLongerThanAnyBeforeWrittenDuringTheWalkIsReadWhole)
{
    Write("a", REG_SZ, std::string("1", 2));
    // Written while the walk is at "a": longer in name and data than what the key held when
    // the walk began, and enumerated after it.
    const std::string lateName = "z" + std::string(2000, 'l');
    const std::string lateData = std::string(100000, 'd') + '\0';
    std::map<std::string, Stored> values;
    ForEachValue(HKEY_CURRENT_USER, kTestKey, [&](const RegValueItem& v) {
        if (v.name == "a")
            Write(lateName, REG_SZ, lateData);
        values[v.name] = {v.type, v.data};
    });
    EXPECT_TRUE(values == written_);
    EXPECT_EQ(lateData.size(), values[lateName].data.size());
}

TEST_F(RegistryWalkTest, AVisitEndsTheWalkAndAMissingKeyHasNothing)
{
    for (const char* name : {"a", "b", "c"})
        Write(name, REG_SZ, std::string("1", 2));
    ASSERT_EQ(1, CreateRegKey(HKEY_CURRENT_USER, KX_KEY "\\LayerTest\\s1"));
    ASSERT_EQ(1, CreateRegKey(HKEY_CURRENT_USER, KX_KEY "\\LayerTest\\s2"));
    int visits = 0;
    auto stopAtFirst = [&](const auto&) { return ++visits < 1; };
    EXPECT_EQ(REG_WALK_STOPPED, ForEachValue(HKEY_CURRENT_USER, kTestKey, stopAtFirst));
    EXPECT_EQ(REG_WALK_STOPPED, ForEachValueName(HKEY_CURRENT_USER, kTestKey, stopAtFirst));
    EXPECT_EQ(REG_WALK_STOPPED, ForEachTextValue(HKEY_CURRENT_USER, kTestKey, stopAtFirst));
    EXPECT_EQ(REG_WALK_STOPPED, ForEachSubkey(HKEY_CURRENT_USER, kTestKey, stopAtFirst));
    EXPECT_EQ(4, visits);

    visits = 0;
    auto count = [&](const auto&) { visits++; };
    const char* missing = KX_KEY "\\LayerTest\\Missing";
    EXPECT_EQ(REG_WALK_DONE, ForEachValue(HKEY_CURRENT_USER, missing, count));
    EXPECT_EQ(REG_WALK_DONE, ForEachValueName(HKEY_CURRENT_USER, missing, count));
    EXPECT_EQ(REG_WALK_DONE, ForEachSubkey(HKEY_CURRENT_USER, missing, count));
    EXPECT_EQ(0, visits);
}

TEST_F(RegistryWalkTest, AKeyDeletedUnderTheWalkEndsItAsFailed)
{
    for (const char* name : {"a", "b", "c"})
        Write(name, REG_SZ, std::string("1", 2));
    int visits = 0;
    EXPECT_EQ(REG_WALK_FAILED, ForEachValue(HKEY_CURRENT_USER, kTestKey, [&](const RegValueItem&) {
                  visits++;
                  DeleteKeyTree(HKEY_CURRENT_USER, kTestKey);
              }));
    EXPECT_EQ(1, visits);
}

class OptionsTest : public KxTest {};

TEST_F(OptionsTest, MissingEmptyAndNonNumericValues)
{
    EXPECT_EQ(2, GetOption("Start", 2));
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Start", "");
    EXPECT_EQ(2, GetOption("Start", 2));
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Start", "abc");
    EXPECT_EQ(0, GetOption("Start", 2));
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Start", "12xyz");
    EXPECT_EQ(12, GetOption("Start", 2));
}

TEST_F(OptionsTest, SingleWriterSetsUpdate)
{
    EXPECT_EQ(1, SetOption("Sound", 0));
    EXPECT_EQ("0", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Sound"));
    EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Update"));
    // Names are not case-sensitive: HOSTFile is HostFile.
    SetOption("HOSTFile", 9);
    EXPECT_EQ(9, GetOption("HostFile", 3));
}

TEST_F(OptionsTest, BatchReaderGivesDefaultsAndLoadsCountdowns)
{
    g_countdowns.WinInit = 0;
    patrolHalf = 1;
    ReadAllOptions();
    EXPECT_EQ(0, g_options.HideRufo);
    EXPECT_EQ(1, g_options.Sound);
    EXPECT_EQ(1, g_options.History);
    EXPECT_EQ(1, g_options.HideMicrosoftServices);
    EXPECT_EQ(315, g_options.MaxCookie);
    EXPECT_EQ(2, g_options.Start);
    EXPECT_EQ(11, g_options.Tasks);
    EXPECT_EQ(10, g_options.FileType);
    EXPECT_EQ(3, g_options.HostFile);
    EXPECT_EQ(7, g_options.Services);
    EXPECT_EQ(5, g_options.WinInit);
    EXPECT_EQ(1, g_options.RealtimeStartup);
    EXPECT_EQ(0, g_options.RealtimeFileType);
    EXPECT_EQ(0, g_options.RealtimeHidden);
    EXPECT_EQ(2, g_countdowns.Start);
    EXPECT_EQ(11, g_countdowns.Tasks);
    EXPECT_EQ(5, g_countdowns.WinInit);
    EXPECT_EQ(0, patrolHalf);

    g_programKind = PROGRAM_EXPLORER;
    ReadAllOptions();
    EXPECT_EQ(4096, g_options.MaxCookie);
}

TEST_F(OptionsTest, WinInitCountdownIsOnlyRaised)
{
    g_countdowns.WinInit = 40;
    ReadAllOptions();
    EXPECT_EQ(40, g_countdowns.WinInit);
}

TEST_F(OptionsTest, HideAlertsFeedsSuppressAlerts)
{
    WriteValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideAlerts", "2");
    ReadAllOptions();
    EXPECT_EQ(2, suppressAlerts);
}

TEST_F(OptionsTest, ExplorerWriterStoresOneMicrosoftServicesSetting)
{
    ReadAllOptions();
    g_options.HideMicrosoftServices = 0;
    g_options.Start = 4;
    WriteAllOptions();
    EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Update"));
    EXPECT_EQ("4", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "Start"));
    // What the options page chose is what the services list reads back.
    ReadAllOptions();
    EXPECT_EQ(0, g_options.HideMicrosoftServices);
    // Never written by either program.
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "HideAlerts"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "MaxCookie"));
}

class ResourceStringTest : public KxTest {};

TEST_F(ResourceStringTest, LanguageCodes)
{
    EXPECT_EQ(9, LanguageIdFromCode("us"));
    EXPECT_EQ(9, LanguageIdFromCode("US"));
    EXPECT_EQ(22, LanguageIdFromCode("br"));
    EXPECT_EQ(4, LanguageIdFromCode("cn"));
    EXPECT_EQ(25, LanguageIdFromCode("\xEA\xE0\xEA"));
    EXPECT_EQ(0, LanguageIdFromCode("xx"));
    // The shipped string 634 is "us".
    InitUiLanguage();
    EXPECT_EQ(9, uiLanguage);
}

TEST_F(ResourceStringTest, ReplacementTextOnlyOutsideEnglish)
{
    char shipped[1024];
    ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), 7, shipped, sizeof(shipped)), 0);
    WriteValueText(HKEY_LOCAL_MACHINE, KX_KEY, "LString7", "Zeile eins%nZeile zwei");

    char text[1024];
    uiLanguage = 9;
    LoadResString(7, text, sizeof(text));
    EXPECT_STREQ(shipped, text);

    uiLanguage = 7;
    EXPECT_GT(LoadResString(7, text, sizeof(text)), 0);
    EXPECT_STREQ("Zeile eins\nZeile zwei", text);

    // Cut to the caller's capacity.
    EXPECT_EQ(5, LoadResString(7, text, 6));
    EXPECT_STREQ("Zeile", text);

    // An empty replacement falls back to the resource.
    WriteValueText(HKEY_LOCAL_MACHINE, KX_KEY, "LString7", "");
    LoadResString(7, text, sizeof(text));
    EXPECT_STREQ(shipped, text);
}

// Inside a scope a text is read once per capacity and language; each answer, its length
// included, is what a load outside a scope gives. A nested scope leaves the outer one's texts,
// and the next scope sees a replacement changed meanwhile.
TEST_F(ResourceStringTest, AScopeReadsEachTextOnce)
{
    uiLanguage = 7;
    WriteValueText(HKEY_LOCAL_MACHINE, KX_KEY, "LString7", "Zeile eins%nZeile zwei");
    const int capacities[] = {1, 2, 6, 11, 1024};
    std::vector<std::pair<std::string, int>> outside;
    for (int capacity : capacities) {
        char text[1024];
        int length = LoadResString(7, text, capacity);
        outside.push_back({text, length});
    }
    {
        ResStringCacheScope scope;
        for (int pass = 0; pass < 2; pass++) {
            for (size_t i = 0; i < outside.size(); i++) {
                SCOPED_TRACE(testing::Message() << "pass " << pass << ", capacity " << capacities[i]);
                char text[1100];
                memset(text, 0xbd, sizeof(text));
                EXPECT_EQ(outside[i].second, LoadResString(7, text, capacities[i]));
                EXPECT_EQ(outside[i].first, text);
                EXPECT_EQ((char)0xbd, text[capacities[i]]) << "written past the capacity";
            }
            // Read once: a change now is not seen before the scope ends.
            WriteValueText(HKEY_LOCAL_MACHINE, KX_KEY, "LString7", "Neu");
            {
                ResStringCacheScope nested;
                EXPECT_FALSE(nested.owner);
            }
        }
        // A capacity of its own is a load of its own.
        char text[1024];
        LoadResString(7, text, 64);
        EXPECT_STREQ("Neu", text);
        LoadResString(7, text, sizeof(text));
        EXPECT_STREQ("Zeile eins\nZeile zwei", text);
        // Another language is another text.
        uiLanguage = 9;
        char shipped[1024];
        LoadStringA(GetModuleHandleA(nullptr), 7, shipped, sizeof(shipped));
        LoadResString(7, text, sizeof(text));
        EXPECT_STREQ(shipped, text);
        uiLanguage = 7;
    }
    char text[64];
    LoadResString(7, text, sizeof(text));
    EXPECT_STREQ("Neu", text);
}

TEST(TextSlotsTest, MarkersTakeTheirValuesAndNothingElseIsRead)
{
    struct { const char* text; std::vector<const char*> values; const char* filled; } rows[] = {
        {"%s and %s", {"a", "b"}, "a and b"},
        {"%2 before %1", {"a", "b"}, "b before a"},
        {"%s %s %d %u", {"a"}, "a %s %d %u"},          // markers without a value stay
        {"%d%% of %lu", {"5", "7"}, "5% of 7"},
        {"%x %p %n %9 %", {"a"}, "%x %p %n %9 %"},   // nothing else is interpreted
        {"%s then %s", {"%s%d", "b"}, "%s%d then b"},  // a value is never read again
    };
    for (const auto& row : rows) {
        char out[64];
        memset(out, 0xbd, sizeof(out));
        FillTextSlots(row.text, row.values.data(), (int)row.values.size(), out, sizeof(out));
        EXPECT_STREQ(row.filled, out) << row.text;
    }
    char cut[6];
    const char* value = "abcdefgh";
    FillTextSlots("%s", &value, 1, cut, sizeof(cut));
    EXPECT_STREQ("abcde", cut);
    EXPECT_EQ("Author: Kx", FillText("Author: %s", {"Kx"}));
}

TEST_F(ResourceStringTest, MissingStringGivesZero)
{
    char text[64] = "sentinel";
    EXPECT_EQ(0, LoadResString(64999, text, sizeof(text)));
    EXPECT_STREQ("", text);
}

TEST_F(ResourceStringTest, DialogControlKeepsItsTextWhenThereIsNone)
{
    HWND edit = CreateWindowA("EDIT", "before", WS_POPUP, 0, 0, 10, 10, nullptr, (HMENU)0, nullptr,
                              nullptr);
    HWND parent = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                nullptr);
    ASSERT_TRUE(edit && parent);
    SetParent(edit, parent);
    SetWindowLongPtrA(edit, GWLP_ID, 100);
    SetDlgItemResString(parent, 100, 64999);
    char text[64];
    GetWindowTextA(edit, text, sizeof(text));
    EXPECT_STREQ("before", text);
    SetDlgItemResString(parent, 100, 726);
    GetWindowTextA(edit, text, sizeof(text));
    EXPECT_STREQ("Windows Task Scheduler", text);
    DestroyWindow(parent);
}

class TraceTest : public KxTest {
protected:
    std::string TraceFile()
    {
        char path[MAX_PATH];
        TraceFilePath(path, sizeof(path));
        return path;
    }
};

TEST_F(TraceTest, OffByDefaultAndNeverCreatesTheFile)
{
    EXPECT_EQ(0, Trace("Begin", "kestrix"));
    EXPECT_EQ(0, TraceElapsed());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(TraceFile().c_str()));
}

TEST_F(TraceTest, RecordsGoToTheTraceSection)
{
    g_traceCounter = 0;
    EXPECT_EQ(1, Trace("BuildRun - findrun", "C:\\a.exe"));
    std::string content = ReadTextFile(TraceFile());
    EXPECT_NE(std::string::npos, content.find("[Trace]"));
    EXPECT_NE(std::string::npos, content.find("BuildRun - findrun: C:\\a.exe"));
    EXPECT_NE(std::string::npos, content.find(".0="));
    EXPECT_EQ(1, g_traceCounter);
}

TEST_F(TraceTest, ElapsedRecordReportsOneAfterAnAlert)
{
    g_traceCounter = 0;
    TraceBegin("Startup", "VerifyStartup");
    g_traceAlertMark = 1;
    EXPECT_EQ(1, TraceElapsed());
    EXPECT_EQ(0, g_traceAlertMark);
    std::string content = ReadTextFile(TraceFile());
    EXPECT_NE(std::string::npos, content.find("**:**:** NanoCycles: VerifyStartup = 1 "));
}

TEST_F(TraceTest, StopsOnceTheCounterPasses9000)
{
    g_traceCounter = 9000;
    EXPECT_EQ(1, Trace("last", "one"));
    EXPECT_EQ(0, Trace("too", "many"));
}

TEST_F(TraceTest, ExplorerNeverTraces)
{
    g_programKind = PROGRAM_EXPLORER;
    g_traceCounter = 0;
    EXPECT_EQ(0, Trace("x", "y"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(TraceFile().c_str()));
}

class TextTest : public KxTest {};

TEST_F(TextTest, ContainmentIgnoresCaseAndLongTexts)
{
    EXPECT_TRUE(InMyString("C:\\Program Files\\KESTRIX\\k.exe", "kestrix"));
    EXPECT_TRUE(InMyString("abc", ""));
    EXPECT_FALSE(InMyString("abc", "abcd"));
    EXPECT_FALSE(InMyString("Explorer.exe", "Kestrix"));
    std::string longText(773, 'a');
    EXPECT_FALSE(InMyString(longText.c_str(), "a"));
    std::string justFits(772, 'a');
    EXPECT_TRUE(InMyString(justFits.c_str(), "aa"));
}

class VersionTextTest : public KxTest {};

TEST_F(VersionTextTest, MonitorVersionThenExplorerVersion)
{
    // Our own test program carries the monitor's version block.
    std::string self = TestProgramFolder();
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, sizeof(exe));
    ASSERT_TRUE(CopyFileA(exe, TempPath("Kestrix.exe").c_str(), FALSE));
    char text[256];
    GetProgramVersionText(text, sizeof(text));
    EXPECT_STREQ(KX_VERSION_TEXT, text);
    ASSERT_TRUE(CopyFileA(exe, TempPath("KestrixEx.exe").c_str(), FALSE));
    GetProgramVersionText(text, sizeof(text));
    EXPECT_STREQ(KX_VERSION_TEXT ":" KX_VERSION_TEXT, text);
}

TEST_F(VersionTextTest, ManifestCarriesTheProgramVersion)
{
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_TRUE(found);
    const char* data = (const char*)LockResource(LoadResource(nullptr, found));
    ASSERT_TRUE(data);
    std::string manifest(data, SizeofResource(nullptr, found));
    EXPECT_NE(std::string::npos,
              manifest.find("name=\"Orvane.Kestrix\" version=\"" KX_VERSION_TEXT "\""));
}

class FirstRunTest : public KxTest {};

TEST_F(FirstRunTest, CreatesTheSkeletonAndTheDateOnce)
{
    ASSERT_TRUE(IsFirstRun());
    CreateKeySkeleton();
    for (const char* sub : {"Nuts", "Cookies", "Options", "Run", "IEHelpers", "HostFile", "Tasks"})
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::string(KX_KEY "\\") + sub)) << sub;
    EXPECT_NE("", ReadValueText(HKEY_CURRENT_USER, KX_KEY, ""));
    EXPECT_FALSE(IsFirstRun());
}

class WindowPositionTest : public KxTest {
protected:
    HWND MakeWindow()
    {
        return CreateWindowA("STATIC", "w", WS_POPUP, 10, 10, 200, 100, nullptr, nullptr, nullptr,
                             nullptr);
    }
};

TEST_F(WindowPositionTest, SavedPlaceIsRestoredButNotItsSize)
{
    HWND w = MakeWindow();
    SetWindowPos(w, nullptr, 120, 80, 200, 100, SWP_NOZORDER);
    SaveWindowPosition(w, kAlertPos);
    EXPECT_EQ("120", ReadValueText(HKEY_CURRENT_USER, KX_KEY, "xPosAlert"));
    EXPECT_EQ("80", ReadValueText(HKEY_CURRENT_USER, KX_KEY, "yPosAlert"));
    EXPECT_EQ("200", ReadValueText(HKEY_CURRENT_USER, KX_KEY, "dxAlert"));
    EXPECT_EQ("0", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "StartTab"));
    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "dxAlert", "600");
    SetWindowPos(w, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    RestoreWindowPosition(w, kAlertPos);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(120, r.left);
    EXPECT_EQ(80, r.top);
    EXPECT_EQ(200, r.right - r.left);
    DestroyWindow(w);
}

TEST_F(WindowPositionTest, OffScreenPlaceFallsBackToHalfTheScreen)
{
    HWND w = MakeWindow();
    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "xPos", "99999");
    WriteValueText(HKEY_CURRENT_USER, KX_KEY, "yPos", "30");
    g_activePageId = 6030;
    RestoreWindowPosition(w, kMainPos);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) / 2, r.left);
    EXPECT_EQ(30, r.top);
    EXPECT_EQ("6030", ReadValueText(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "StartTab"));
    DestroyWindow(w);
}

TEST_F(WindowPositionTest, WithoutARecordTheWindowIsCentredInTheUpperThird)
{
    HWND w = MakeWindow();
    RestoreWindowPosition(w, kSysFilesPos);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 200) / 2, r.left);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - 100) / 3, r.top);
    DestroyWindow(w);
}
