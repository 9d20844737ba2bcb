// Command 6034 of the manager's main window opens the restart-command view the monitor shares:
// wininit.ini's text, Close leaving the file and Delete removing it, and where no command is
// pending the message that says so.
#include "kxtest.h"
#include "../explorer/mainwindow.h"
#include "../explorer/pages.h"
#include "dialog_driver.h"
#include "options.h"
#include "program.h"
#include "resstring.h"
#include "sysfiles.h"
#include <objbase.h>

namespace {

class RestartViewTest : public KxTest {};

std::string Res(UINT id)
{
    char text[1024] = "";
    LoadResString(id, text, sizeof(text));
    return text;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST_F(RestartViewTest, ManagerCommandShowsTheCommandsAndDeleteRemovesTheFile)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    const std::string exe = std::string(windows) + "\\wininit.exe";
    ASSERT_FALSE(Exists(exe));
    ASSERT_FALSE(Exists(WinInitPath()));
    WriteTextFile(exe, "MZ");
    lstrcpynA(g_programCaption, "Kestrix", sizeof(g_programCaption));
    HWND window = CreateMainWindow(GetModuleHandleA(nullptr), "KxTestRestartView", "Loading...");
    ASSERT_NE(nullptr, window);
    CoInitialize(nullptr);
    ReadAllOptions();

    // Each step: what the file holds, the button pressed, and whether the file stays.
    struct Step {
        const char* file;
        int button;
        bool stays;
    } steps[] = {{"[rename]\nNUL=C:\\BAD.EXE\nC:\\NEW.EXE=C:\\OLD.EXE", IDCANCEL, true},
                 {"[rename]\nNUL=C:\\BAD.EXE\nC:\\NEW.EXE=C:\\OLD.EXE", 1003, false}};
    for (const Step& step : steps) {
        WriteTextFile(WinInitPath(), step.file);
        std::string shown, legend, remove;
        DialogDriver driver(Res(30), [&](HWND dialog) {
            shown = WindowText(GetDlgItem(dialog, 1001));
            legend = WindowText(GetDlgItem(dialog, 1002));
            remove = WindowText(GetDlgItem(dialog, 1003));
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(step.button, BN_CLICKED),
                         (LPARAM)GetDlgItem(dialog, step.button));
        });
        SendMessageA(window, WM_COMMAND, PAGE_RESTART_COMMANDS, 0);
        driver.Join();
        ASSERT_TRUE(driver.Found());
        EXPECT_EQ("[rename]\r\nNUL=C:\\BAD.EXE\r\nC:\\NEW.EXE=C:\\OLD.EXE", shown);
        EXPECT_EQ(Res(702), legend);
        EXPECT_EQ(Res(614), remove);
        EXPECT_EQ(step.stays, Exists(WinInitPath())) << "button " << step.button;
    }

    // Nothing pending: a message instead of the view.
    std::string said;
    DialogDriver message(g_programCaption, [&](HWND box) {
        said = WindowText(GetDlgItem(box, 0xFFFF));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    SendMessageA(window, WM_COMMAND, PAGE_RESTART_COMMANDS, 0);
    message.Join();
    EXPECT_EQ(Res(59), said);

    DeleteFileA(WinInitPath().c_str());
    DeleteFileA(exe.c_str());
    DestroyWindow(window);
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    UnregisterClassA("KxTestRestartView", GetModuleHandleA(nullptr));
}

}   // namespace
