// The protection warning the explorer shows before a system hook is removed.
#include "kxtest.h"
#include "dialog_driver.h"
#include "dialogs_explorer.h"
#include "entrylist.h"
#include "findrun.h"
#include "history.h"
#include "pagecommands.h"
#include "keys.h"
#include "program.h"
#include "resstring.h"
#include "runactions.h"
#include <string>

namespace {
const char* const kDelayLoad =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
const char* const kClsid = "{11111111-2222-3333-4444-777777777777}";
}

class ExplorerWarningTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        g_programKind = PROGRAM_EXPLORER;
        ForgetKey(HKEY_LOCAL_MACHINE, kDelayLoad);
        WriteValueText(HKEY_LOCAL_MACHINE, kDelayLoad, "KxDelay", kClsid);
        WriteValueText(HKEY_CURRENT_USER, KX_KEY "\\Run", "C:\\x\\delay.dll", "252");
    }
    int Remove()
    {
        return DeleteRegProgram(nullptr, "KxDelay", "C:\\x\\delay.dll", kClsid, REG_Delayload);
    }
    static std::string Caption()
    {
        char caption[128] = "";
        LoadResString(972, caption, sizeof(caption));
        return caption;
    }
};

TEST_F(ExplorerWarningTest, ShowsTheEntryAndRemovesOnlyWhenTicked)
{
    std::string command, text, file, box;
    bool bold = false;
    DialogDriver driver(Caption(), [&](HWND dialog) {
        HWND commandControl = GetDlgItem(dialog, IDC_WARNING_COMMAND);
        command = WindowText(commandControl);
        text = WindowText(GetDlgItem(dialog, IDC_WARNING_TEXT));
        file = WindowText(GetDlgItem(dialog, IDC_WARNING_FILE));
        box = WindowText(GetDlgItem(dialog, IDC_WARNING_CONFIRM));
        LOGFONTA font = {};
        HFONT handle = (HFONT)SendMessageA(commandControl, WM_GETFONT, 0, 0);
        bold = handle && GetObjectA(handle, sizeof(font), &font) && font.lfWeight >= FW_BOLD;
        SendMessageA(GetDlgItem(dialog, IDC_WARNING_CONFIRM), BM_SETCHECK, BST_CHECKED, 0);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(1, Remove());
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_EQ("C:\\x\\delay.dll", command);
    EXPECT_TRUE(bold);
    EXPECT_EQ(0u, text.find("This setting is a default condition for Windows"));
    EXPECT_EQ("KxDelay", file);   // no Microsoft copyright: the title alone
    EXPECT_EQ("  Yes, I really know what I'm doing. Please remove.", box);

    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kDelayLoad, "KxDelay"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_KEY "\\Run", "C:\\x\\delay.dll"));
    ASSERT_EQ(1, ReadHistory());
    EXPECT_EQ(ACT_REMOVE_DELAYLOAD, GetEntryTag(0));
    EXPECT_EQ(REG_Delayload, GetEntryType(0));
    // Its place is remembered for next time.
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, KX_KEY, "xDefaultWarning"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, KX_KEY, "dyDefaultWarning"));
}

TEST_F(ExplorerWarningTest, OkWithoutTheTickChangesNothingAndCancelDoesNotClose)
{
    bool stayedOpen = false;
    DialogDriver driver(Caption(), [&](HWND dialog) {
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        SendMessageA(dialog, WM_CLOSE, 0, 0);
        Sleep(100);
        stayedOpen = IsWindow(dialog) && IsWindowVisible(dialog);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(0, Remove());
    driver.Join();
    ASSERT_TRUE(driver.Found());
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(kClsid, ReadValueText(HKEY_LOCAL_MACHINE, kDelayLoad, "KxDelay"));
    EXPECT_EQ("252", ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Run", "C:\\x\\delay.dll"));
    EXPECT_EQ("", ReadTextFile(TempPath("history.txt")));
}

TEST_F(ExplorerWarningTest, MicrosoftFileIsNamedAsSuch)
{
    const char* appInitKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    SaveValue(HKEY_LOCAL_MACHINE, appInitKey, "AppInit_DLLs");
    std::string dll = TestProgramFolder() + "\\kxfx_mshook.dll";
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dll.c_str()));
    WriteValueText(HKEY_LOCAL_MACHINE, appInitKey, "AppInit_DLLs", dll);
    auto shownFileText = [&] {
        std::string file;
        DialogDriver driver(Caption(), [&](HWND dialog) {
            file = WindowText(GetDlgItem(dialog, IDC_WARNING_FILE));
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(0, DeleteRegProgram(nullptr, "mshook", dll.c_str(), "", REG_AppInitDLLs));
        driver.Join();
        EXPECT_TRUE(driver.Found());
        return file;
    };
    EXPECT_EQ("The file mshook appears to be a valid Microsoft system file.", shownFileText());
    EXPECT_EQ(dll, ReadValueText(HKEY_LOCAL_MACHINE, appInitKey, "AppInit_DLLs"));

    // A replacement text is filled by substitution: its extra "%" sequences are shown as
    // they are, never read as arguments.
    int language = uiLanguage;
    uiLanguage = 7;
    WriteValueText(HKEY_LOCAL_MACHINE, KX_KEY, "LString909", "%s is %s from %d");
    std::string replaced = shownFileText();
    uiLanguage = language;
    EXPECT_EQ("mshook is %s from %d", replaced);
}

// Confirmations whose text the user's language file may replace: whatever "%" sequences the
// replacement holds, only the one value passed is put in, at its markers.
TEST_F(ExplorerWarningTest, ReplacedConfirmationsAreFilledByPlainSubstitution)
{
    int language = uiLanguage;
    uiLanguage = 7;
    lstrcpynA(g_programCaption, "KxConfirm", sizeof(g_programCaption));
    for (UINT id : {15u, 687u, 698u, 800u, 926u}) {
        WriteValueText(HKEY_LOCAL_MACHINE, KX_KEY, "LString" + std::to_string(id),
                       "%s %s %d %x %p %1 %2 %%end");
        std::string shown;
        DialogDriver driver("KxConfirm", [&](HWND box) {
            shown = WindowText(GetDlgItem(box, 0xFFFF));
            PostMessageA(box, WM_COMMAND, IDNO, 0);
        });
        EXPECT_EQ(IDNO, AskResString(nullptr, id, "C:\\kx\\app.exe", MB_YESNO));
        driver.Join();
        EXPECT_EQ("C:\\kx\\app.exe %s %d %x %p C:\\kx\\app.exe %2 %end", shown) << id;
    }
    uiLanguage = language;
    g_programCaption[0] = 0;
}
