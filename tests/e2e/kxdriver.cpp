// Test driver for the real programs. Usage: kxdriver STEP [STEP ...], each step one of
//   wait CLASS TITLE MS      wait for a top-level window ("-" = any), make it current
//   gone CLASS TITLE MS      wait until no such window exists
//   text ID                  print the text of control ID of the current window (0: itself)
//   dump                     print every child: id, class, text
//   click ID                 press button ID of the current window
//   command ID LPARAM        post WM_COMMAND ID to the current window
//   post MSG WPARAM LPARAM   post a message to the current window
//   key VK                   send a key press to the focused window (menus)
//   cursor X Y               move the mouse pointer
//   sleep MS
// Exit code 0 when every step worked, otherwise the number of the step that failed.
// Started under the name KestrixEx.exe it appends its arguments to explorer-calls.txt
// beside itself and ends: the monitor's tests see which page it asked for.
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static HWND g_current;

static const char* Arg(const char* text) { return strcmp(text, "-") == 0 ? nullptr : text; }

static HWND WaitWindow(const char* cls, const char* title, int ms, bool present)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND found = FindWindowA(Arg(cls), Arg(title));
        if (present ? found != nullptr : found == nullptr)
            return present ? found : (HWND)1;
        if ((int)(GetTickCount() - start) >= ms)
            return nullptr;
        Sleep(20);
    }
}

static BOOL CALLBACK DumpChild(HWND child, LPARAM)
{
    char cls[64] = "", text[512] = "";
    GetClassNameA(child, cls, sizeof(cls));
    SendMessageTimeoutA(child, WM_GETTEXT, sizeof(text), (LPARAM)text, SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    printf("%d\t%s\t%s\n", GetDlgCtrlID(child), cls, text);
    return TRUE;
}

static int LogExplorerCall(const char* self)
{
    char path[MAX_PATH];
    lstrcpynA(path, self, sizeof(path));
    char* slash = strrchr(path, '\\');
    if (!slash)
        return 1;
    lstrcpyA(slash + 1, "explorer-calls.txt");
    FILE* file = fopen(path, "ab");
    if (!file)
        return 1;
    const char* line = GetCommandLineA();
    // Keep only the arguments.
    if (*line == '"') {
        line = strchr(line + 1, '"');
        line = line ? line + 1 : "";
    } else {
        while (*line && *line != ' ')
            line++;
    }
    while (*line == ' ')
        line++;
    fprintf(file, "%s\n", line);
    fclose(file);
    return 0;
}

int main(int argc, char** argv)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    const char* name = strrchr(self, '\\');
    if (name && lstrcmpiA(name + 1, "KestrixEx.exe") == 0)
        return LogExplorerCall(self);

    int step = 0;
    for (int i = 1; i < argc;) {
        step++;
        const char* op = argv[i++];
        auto need = [&](int n) { return i + n <= argc; };
        bool ok = false;
        if ((!strcmp(op, "wait") || !strcmp(op, "gone")) && need(3)) {
            bool present = !strcmp(op, "wait");
            HWND found = WaitWindow(argv[i], argv[i + 1], atoi(argv[i + 2]), present);
            i += 3;
            ok = found != nullptr;
            if (ok && present) {
                g_current = found;
                printf("window %p\n", (void*)found);
            }
        } else if (!strcmp(op, "text") && need(1)) {
            int id = atoi(argv[i++]);
            HWND control = id ? GetDlgItem(g_current, id) : g_current;
            char text[1024] = "";
            if (control) {
                SendMessageTimeoutA(control, WM_GETTEXT, sizeof(text), (LPARAM)text,
                                    SMTO_ABORTIFHUNG, 2000, nullptr);
                printf("%s\n", text);
                ok = true;
            }
        } else if (!strcmp(op, "dump")) {
            ok = g_current != nullptr;
            if (ok)
                EnumChildWindows(g_current, DumpChild, 0);
        } else if (!strcmp(op, "click") && need(1)) {
            int id = atoi(argv[i++]);
            HWND button = GetDlgItem(g_current, id);
            ok = g_current && PostMessageA(g_current, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                           (LPARAM)button);
        } else if (!strcmp(op, "command") && need(2)) {
            ok = g_current && PostMessageA(g_current, WM_COMMAND, atoi(argv[i]),
                                           (LPARAM)atoll(argv[i + 1]));
            i += 2;
        } else if (!strcmp(op, "post") && need(3)) {
            ok = g_current && PostMessageA(g_current, (UINT)atoi(argv[i]), atoll(argv[i + 1]),
                                           (LPARAM)atoll(argv[i + 2]));
            i += 3;
        } else if (!strcmp(op, "key") && need(1)) {
            INPUT input[2] = {};
            input[0].type = input[1].type = INPUT_KEYBOARD;
            input[0].ki.wVk = input[1].ki.wVk = (WORD)atoi(argv[i++]);
            input[1].ki.dwFlags = KEYEVENTF_KEYUP;
            ok = SendInput(2, input, sizeof(INPUT)) == 2;
        } else if (!strcmp(op, "cursor") && need(2)) {
            ok = SetCursorPos(atoi(argv[i]), atoi(argv[i + 1])) != 0;
            i += 2;
        } else if (!strcmp(op, "sleep") && need(1)) {
            Sleep(atoi(argv[i++]));
            ok = true;
        }
        fflush(stdout);
        if (!ok) {
            fprintf(stderr, "step %d (%s) failed\n", step, op);
            return step;
        }
    }
    return 0;
}
