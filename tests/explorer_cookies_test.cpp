// The Cookies page and its cookie list, driven in-process: filter words added and removed
// through the page, the browser choice, and the list's Remove Unchecked over real cookie files.
#include "kxtest.h"
#include "waits.h"
#include "../explorer/explorerseams.h"
#include "../explorer/cookiereview.h"
#include "../explorer/pages.h"
#include "../explorer/sheet.h"
#include "cookies.h"
#include "dialogs_cookies.h"
#include "keys.h"
#include "options.h"
#include "program.h"
#include <commctrl.h>
#include <prsht.h>
#include <atomic>
#include <string>
#include <thread>

namespace {

std::string Cell(HWND list, int row, int column = 0)
{
    char text[512] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(list, LVM_GETITEMTEXTA, row, (LPARAM)&item);
    return text;
}

int Rows(HWND list) { return (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); }

// The first visible dialog of the thread other than skip, waited for up to two seconds.
HWND WaitDialog(DWORD thread, HWND skip) { return WaitForThreadDialog(thread, skip, nullptr, 2000); }

class CookiesPageTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        g_programKind = PROGRAM_EXPLORER;
        InitCommonControls();
        folder_ = TempPath("Cookies");
        CreateDirectoryA(folder_.c_str(), nullptr);
        WriteTextFile(folder_ + "\\index.dat", "");
        WriteValueText(HKEY_CURRENT_USER, KX_KEY, "IECookieFolder", folder_);
        g_options.ViewCookies = 0;
    }
    void TearDown() override
    {
        if (sheet_)
            DestroyWindow(sheet_);
        FreeCookieFilters();
        g_programKind = PROGRAM_MONITOR;
        KxTest::TearDown();
    }
    HWND OpenPage()
    {
        sheet_ = CreateModelessSheet(nullptr, PAGE_COOKIES);
        return sheet_ ? PropSheet_GetCurrentPageHwnd(sheet_) : nullptr;
    }

    std::string folder_;
    HWND sheet_ = nullptr;
};

TEST_F(CookiesPageTest, WordsAreAddedAndRemovedThroughThePage)
{
    WriteTextFile(folder_ + "\\joe@ads.example.txt", "cookie\n");
    WriteTextFile(folder_ + "\\joe@news.txt", "cookie\n");
    WriteValueText(HKEY_CURRENT_USER, KX_NUTS_KEY, "spam", "1");
    HWND page = OpenPage();
    ASSERT_NE(nullptr, page);
    HWND list = GetDlgItem(page, IDC_PAGE_LIST);
    ASSERT_EQ(1, Rows(list));
    EXPECT_EQ("spam", Cell(list, 0));
    char folder[MAX_PATH] = "";
    GetDlgItemTextA(page, IDC_COOKIES_FOLDER, folder, sizeof(folder));
    EXPECT_EQ(folder_ + "\\", folder);

    SetDlgItemTextA(page, IDC_COOKIES_WORD, "ads");
    SendMessageA(page, WM_COMMAND, IDC_PAGE_ADD, 0);
    EXPECT_EQ(2, Rows(list));
    EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, KX_NUTS_KEY, "ads"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder_ + "\\joe@ads.example.txt").c_str()))
        << "a new word takes its cookies at once";
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder_ + "\\joe@news.txt").c_str()));
    char word[64] = "x";
    GetDlgItemTextA(page, IDC_COOKIES_WORD, word, sizeof(word));
    EXPECT_STREQ("", word);

    int row = Cell(list, 0) == "ads" ? 0 : 1;
    LVITEMA item = {};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, row, (LPARAM)&item);
    GetDlgItemTextA(page, IDC_COOKIES_SELECTED, word, sizeof(word));
    EXPECT_STREQ("ads", word);
    SendMessageA(page, WM_COMMAND, IDC_PAGE_REMOVE, 0);
    EXPECT_EQ(1, Rows(list));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, KX_NUTS_KEY, "ads"));

    // Choosing the Mozilla family is the option Browser = 6 (the radio is hidden without
    // a Mozilla folder, but a click still means the same).
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_COOKIES_MOZILLA, BN_CLICKED), 0);
    EXPECT_EQ(6, GetOption("Browser", 1));
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_COOKIES_IE, BN_CLICKED), 0);
    EXPECT_EQ(1, GetOption("Browser", 0));
}

TEST_F(CookiesPageTest, RemoveUncheckedKeepsOnlyTheTickedCookies)
{
    for (const char* name : {"joe@keep.txt", "joe@drop.txt", "joe@also.txt"})
        WriteTextFile(folder_ + "\\" + name, "cookie\n");
    WriteValueText(HKEY_CURRENT_USER, KX_COOKIES_KEY, "joe@keep.txt", "1");
    DWORD thread = GetCurrentThreadId();
    std::atomic<int> rows{-1}, ticked{-1};
    std::atomic<bool> asked{false};
    std::thread driver([&] {
        HWND dialog = WaitDialog(thread, nullptr);
        if (!dialog)
            return;
        HWND list = GetDlgItem(dialog, IDC_PAGE_LIST);
        rows = Rows(list);
        int checked = 0;
        for (int i = 0; i < rows; i++)
            checked += ListView_GetCheckState(list, i) ? 1 : 0;
        ticked = checked;
        PostMessageA(dialog, WM_COMMAND, IDC_COOKIE_REMOVE_UNCHECKED, 0);
        HWND question = WaitDialog(thread, dialog);
        if (question) {
            asked = true;
            PostMessageA(question, WM_COMMAND, IDYES, 0);
        }
        for (int i = 0; i < 200 && WaitDialog(thread, dialog); i++)
            Sleep(10);
        Sleep(100);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    ShowCookieList(nullptr, 0);
    driver.join();
    EXPECT_EQ(3, rows);
    EXPECT_EQ(1, ticked) << "a reviewed cookie is ticked";
    EXPECT_TRUE(asked);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder_ + "\\joe@keep.txt").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder_ + "\\joe@drop.txt").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder_ + "\\joe@also.txt").c_str()));
    EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, KX_COOKIES_KEY, "joe@keep.txt"));
}

}   // namespace
