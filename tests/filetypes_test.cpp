// File type associations on real class keys: listing by kind, the snapshot, the changed rule,
// restore, and adding and removing watched extensions.
#include "kxtest.h"
#include "classsnapshot.h"
#include "entrylist.h"
#include "filetypeactions.h"
#include "filetypes.h"
#include "resstring.h"
#include <string>

namespace {

const std::string kMachine = "Software\\Classes\\";
const std::string kUserExts = KX_FILEEXTS_KEY "\\";

class FileTypesTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        for (const char* ext : {".kxa", ".kxb", ".kxc", ".kxd", ".kxq"}) {
            ForgetKey(HKEY_LOCAL_MACHINE, kMachine + ext);
            ForgetKey(HKEY_CURRENT_USER, kUserExts + ext);
        }
        for (const char* cls : {"kxafile", "kxshared", "kxbad"})
            ForgetKey(HKEY_LOCAL_MACHINE, kMachine + cls);
        ForgetKey(HKEY_CLASSES_ROOT, "Applications\\kxapp.exe");
        ForgetKey(HKEY_CLASSES_ROOT, "kxprog");
        WriteValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, "", "KXA;kxb;KXC;KXD;");
    }
    void TearDown() override
    {
        ClearEntries();
        KxTest::TearDown();
    }
    void MachineClass(const char* ext, const char* cls, const char* description, const char* command)
    {
        WriteValueText(HKEY_LOCAL_MACHINE, kMachine + ext, "", cls);
        if (description)
            WriteValueText(HKEY_LOCAL_MACHINE, kMachine + cls, "", description);
        if (command)
            WriteValueText(HKEY_LOCAL_MACHINE, kMachine + cls + "\\shell\\open\\command", "", command);
    }
    // .kxa in all three places, .kxb sharing .kxa's machine class.
    void ThreeKinds()
    {
        MachineClass(".kxa", "kxafile", "KX A document", "\"C:\\Tools\\one.exe\" \"%1\"");
        WriteValueText(HKEY_CURRENT_USER, kUserExts + ".kxa", "Application", "kxapp.exe");
        WriteValueText(HKEY_CLASSES_ROOT, "Applications\\kxapp.exe\\shell\\open\\command", "",
                       "C:\\Tools\\two.exe %1");
        WriteValueText(HKEY_CURRENT_USER, kUserExts + ".kxa", "ProgID", "kxprog");
        WriteValueText(HKEY_CLASSES_ROOT, "kxprog\\shell\\open\\command", "", "C:\\Tools\\three.exe %1");
        MachineClass(".kxb", "kxafile", nullptr, nullptr);
    }
    // The machine class's snapshot as the machine's data folder holds it.
    static std::string MachineSnapshot(const char* ext)
    {
        std::string cls, command;
        return ReadClassSnapshot(ext, &cls, &command) ? cls + " | " + command : "<none>";
    }
    const EntryRecord* Find(const char* detail, int kind)
    {
        for (int i = 0; i < EntryCount(); i++)
            if (lstrcmpiA(GetEntry(i)->detail, detail) == 0 && GetEntry(i)->tag == kind)
                return GetEntry(i);
        return nullptr;
    }
};

TEST_F(FileTypesTest, EachKindThatResolvesIsListedWithItsClassAndCommand)
{
    ThreeKinds();
    // Bad input: a command that is not text, a class without a command, and .kxd nowhere.
    MachineClass(".kxc", "kxbad", "Bad", nullptr);
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, (kMachine + "kxbad\\shell\\open\\command").c_str(), &key));
    DWORD number = 7;
    RegSetValueExA(key, "", 0, REG_DWORD, (const BYTE*)&number, sizeof(number));
    RegCloseKey(key);

    EXPECT_EQ(4, ListFileTypes());
    struct { const char* detail; int kind; const char* command; const char* source; const char* title; } rows[] = {
        {".KXA", FT_CLASS, "C:\\Tools\\one.exe %1", "kxafile", "KX A document"},
        {".KXA", FT_APPLICATION, "C:\\Tools\\two.exe %1", "", ""},
        {".KXA", FT_PROGID, "C:\\Tools\\three.exe %1", "", ""},
        {".kxb", FT_CLASS, "C:\\Tools\\one.exe %1", "kxafile", "KX A document"},
    };
    for (const auto& row : rows) {
        const EntryRecord* e = Find(row.detail, row.kind);
        ASSERT_NE(nullptr, e) << row.detail << " kind " << row.kind;
        EXPECT_EQ(TYPE_FILETYPE, e->type);
        EXPECT_STREQ(row.command, e->command);
        EXPECT_STREQ(row.detail, e->detail) << "as written in the watch list";
        if (row.kind == FT_CLASS) {
            EXPECT_STREQ(row.source, e->source);
            EXPECT_STREQ(row.title, e->title);
        }
    }
    EXPECT_EQ(nullptr, Find(".KXC", FT_CLASS));
    EXPECT_TRUE(ClassInUse("KXAFILE"));
    EXPECT_FALSE(ClassInUse("kxbad"));
}

TEST_F(FileTypesTest, SnapshotIsMadeOnceAndAResetListStartsAfresh)
{
    ThreeKinds();
    DeleteKeyTree(HKEY_CURRENT_USER, KX_CLASS_KEY);
    char defaults[1024];
    ASSERT_GT(LoadResString(750, defaults, sizeof(defaults)), 0);

    int first = CreateClassInfo();
    EXPECT_EQ(defaults, ReadValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, ""));
    EXPECT_EQ("Do not edit.", ReadValueText(HKEY_CURRENT_USER, KX_EXT_KEY, ""));
    EXPECT_EQ(first, ListFileTypes()) << "every listed association was snapshotted";
    EXPECT_EQ(0, CreateClassInfo()) << "the snapshot exists";

    // An eleven-character marker: snapshot what the list watches, keep the list.
    WriteValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, "", "KXA;");
    WriteValueText(HKEY_CURRENT_USER, KX_EXT_KEY, "", "Do not edit");
    EXPECT_EQ(0, CreateClassInfo());
    EXPECT_EQ("kxafile | \"C:\\Tools\\one.exe\" \"%1\"", MachineSnapshot(".KXA"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_EXT_KEY, ".KXA")) << "nothing of it under HKCU";
    EXPECT_EQ("kxprog", ReadValueText(HKEY_CURRENT_USER, KX_EXTPROGID_KEY, ".KXA"));
    EXPECT_EQ("C:\\Tools\\three.exe %1", ReadValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, "kxprog"))
        << "quotes removed";
    EXPECT_EQ("KXA;", ReadValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, ""));

    // A list without a separator among its first ten characters counts as no snapshot.
    WriteValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, "", "KXAKXAKXAKXA;");
    EXPECT_EQ(first, CreateClassInfo());
    EXPECT_EQ(defaults, ReadValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, ""));
    EXPECT_EQ("kxafile | \"C:\\Tools\\one.exe\" \"%1\"", MachineSnapshot(".KXA")) << "old values stay";
}

TEST_F(FileTypesTest, OnlyANewProgramFileNameCountsAsAChange)
{
    ThreeKinds();
    struct { const char* command; bool changed; } rows[] = {
        {"\"C:\\Tools\\one.exe\" \"%1\"", false},
        {"D:\\Elsewhere\\ONE.EXE %1", false},   // moved, same file name
        {"C:\\Tools\\other.exe %1", true},
        {"C:\\Tools\\one.exe /open %1", true},   // text after the last backslash differs
    };
    ListFileTypes();
    for (int i = 0; i < EntryCount(); i++)
        SnapshotFileType(GetEntry(i)->detail, GetEntry(i)->tag);
    for (const auto& row : rows) {
        WriteValueText(HKEY_LOCAL_MACHINE, kMachine + "kxafile\\shell\\open\\command", "", row.command);
        ListFileTypes();
        EXPECT_EQ(row.changed, FileTypeChanged(*Find(".KXA", FT_CLASS)) != 0) << row.command;
    }
    // A newly watched extension is snapshotted and not reported.
    MachineClass(".kxd", "kxshared", nullptr, "C:\\Tools\\four.exe");
    ListFileTypes();
    EXPECT_FALSE(FileTypeChanged(*Find(".KXD", FT_CLASS)));
    EXPECT_EQ("kxshared | C:\\Tools\\four.exe", MachineSnapshot(".KXD"));
}

TEST_F(FileTypesTest, RestoreWritesEachKindBackFromItsSnapshot)
{
    ThreeKinds();
    for (int kind = FT_CLASS; kind <= FT_PROGID; kind++)
        ASSERT_TRUE(SnapshotFileType(".KXA", kind));
    WriteValueText(HKEY_LOCAL_MACHINE, kMachine + ".kxa", "", "kxbad");
    WriteValueText(HKEY_LOCAL_MACHINE, kMachine + "kxafile\\shell\\open\\command", "", "C:\\bad.exe");
    WriteValueText(HKEY_CURRENT_USER, kUserExts + ".kxa", "Application", "bad.exe");
    WriteValueText(HKEY_CLASSES_ROOT, "kxprog\\shell\\open\\command", "", "C:\\bad.exe");
    for (int kind = FT_CLASS; kind <= FT_PROGID; kind++)
        EXPECT_TRUE(RestoreFileType(".KXA", kind));
    EXPECT_FALSE(RestoreFileType(".KXD", FT_CLASS)) << "nothing snapshotted";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMachine + ".kxd"));
    char cls[260], command[260];
    const char* expected[] = {"\"C:\\Tools\\one.exe\" \"%1\"", "C:\\Tools\\two.exe %1",
                              "C:\\Tools\\three.exe %1"};   // as each was written
    for (int kind = FT_CLASS; kind <= FT_PROGID; kind++) {
        ASSERT_TRUE(ResolveFileType("kxa", kind, cls, command)) << kind;
        EXPECT_STREQ(expected[kind - 1], command);
    }
}

// What a restore writes back: the command as it was, quotes and length included; a snapshot
// that kept only the quote-free form is quoted again around the program and the file name.
TEST_F(FileTypesTest, RestorePutsBackTheCommandAsItWasWritten)
{
    const std::string commandKey = kMachine + "kxafile\\shell\\open\\command";
    const std::string longCommand = "\"C:\\Program Files\\" + std::string(280, 'L') + "\\foo.exe\" \"%1\"";
    struct { std::string written, legacy, restored; } rows[] = {
        {"\"C:\\Program Files\\Foo\\foo.exe\" \"%1\"", "", "\"C:\\Program Files\\Foo\\foo.exe\" \"%1\""},
        {longCommand, "", longCommand},
        {"C:\\Tools\\plain.exe %1", "", "C:\\Tools\\plain.exe %1"},
        {"", "C:\\Program Files\\Foo\\foo.exe %1", "\"C:\\Program Files\\Foo\\foo.exe\" \"%1\""},
        {"", "C:\\Windows\\rundll32.exe C:\\My Tools\\view.dll,Show %1",
         "\"C:\\Windows\\rundll32.exe\" C:\\My Tools\\view.dll,Show \"%1\""},
        {"", "notepad %L", "\"notepad\" \"%L\""},
    };
    for (const auto& row : rows) {
        WriteValueText(HKEY_LOCAL_MACHINE, kMachine + ".kxa", "", "kxafile");
        DeleteKeyTree(HKEY_CURRENT_USER, KX_CLASSCOMMAND_KEY);
        ForgetClassSnapshot(".KXA");
        if (row.legacy.empty()) {
            WriteValueText(HKEY_LOCAL_MACHINE, commandKey, "", row.written);
            ASSERT_TRUE(SnapshotFileType(".KXA", FT_CLASS));
        } else {
            WriteValueText(HKEY_CURRENT_USER, KX_EXT_KEY, ".KXA", "kxafile");
            WriteValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, "kxafile", row.legacy);
        }
        WriteValueText(HKEY_LOCAL_MACHINE, commandKey, "", "C:\\Ads\\grabber.exe %1");
        ListFileTypes();
        EXPECT_TRUE(FileTypeChanged(*Find(".KXA", FT_CLASS))) << row.restored;
        ASSERT_TRUE(RestoreFileType(".KXA", FT_CLASS));
        EXPECT_EQ(row.restored, ReadValueText(HKEY_LOCAL_MACHINE, commandKey, ""));
        ListFileTypes();
        EXPECT_FALSE(FileTypeChanged(*Find(".KXA", FT_CLASS))) << "compared without quotes: " << row.restored;
    }
    // An earlier build's quote-free form re-made since it kept the command as written wins
    // over the old text.
    ForgetClassSnapshot(".KXA");
    WriteValueText(HKEY_CURRENT_USER, KX_EXT_KEY, ".KXA", "kxafile");
    WriteValueText(HKEY_CURRENT_USER, KX_CLASSCOMMAND_KEY, "kxafile", "\"C:\\Old\\old.exe\" \"%1\"");
    WriteValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, "kxafile", "C:\\New\\new.exe %1");
    ASSERT_TRUE(RestoreFileType(".KXA", FT_CLASS));
    EXPECT_EQ("\"C:\\New\\new.exe\" \"%1\"", ReadValueText(HKEY_LOCAL_MACHINE, commandKey, ""));
}

TEST_F(FileTypesTest, AddingAndRemovingExtensions)
{
    ThreeKinds();
    MachineClass(".kxq", "kxshared", nullptr, "C:\\Tools\\q.exe");
    EXPECT_EQ(762, AddWatchedExtension("kxa")) << "KXA is watched";
    EXPECT_EQ(762, AddWatchedExtension(".KXB"));
    EXPECT_EQ(0, AddWatchedExtension(".kxq"));
    EXPECT_EQ("KXA;kxb;KXC;KXD;kxq;", ReadValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, ""));
    EXPECT_EQ("kxshared | C:\\Tools\\q.exe", MachineSnapshot(".kxq")) << "snapshotted on adding";
    EXPECT_EQ(0, AddWatchedExtension("nowhere")) << "added even when it resolves nowhere";

    // .kxb shares .kxa's class: removing it keeps the class's command.
    SnapshotFileType(".KXA", FT_CLASS);
    SnapshotFileType(".kxb", FT_CLASS);
    RemoveWatchedExtension("KXB");
    EXPECT_EQ("KXA;KXC;KXD;kxq;nowhere;", ReadValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, ""));
    EXPECT_EQ("<none>", MachineSnapshot(".KXB"));
    EXPECT_NE("<none>", MachineSnapshot(".KXA"));
    RemoveWatchedExtension("kxq");
    EXPECT_EQ("<none>", MachineSnapshot(".kxq"));

    std::string full(1015, 'X');
    WriteValueText(HKEY_CURRENT_USER, KX_CLASS_KEY, "", full.substr(0, 5) + ";" + full.substr(6));
    EXPECT_EQ(763, AddWatchedExtension("ABCDE"));
}

}   // namespace
