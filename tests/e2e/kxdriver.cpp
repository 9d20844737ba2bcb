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
//   descend ID               make the first visible descendant with control ID current (waits
//                            up to 5 s for it)
//   parent                   make the current window's parent current (a page, from one of
//                            its controls)
//   rows                     print the item count of the current list view
//   cell ROW COL             print one cell of the current list view
//   count CLASS TITLE        print how many top-level windows match
// Exit code 0 when every step worked, otherwise the number of the step that failed.
// Started under the name KestrixEx.exe it appends its arguments to explorer-calls.txt
// beside itself and ends: the monitor's tests see which page it asked for.
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static HWND g_current;

struct Descendant {
    int id;
    HWND found;
};

static BOOL CALLBACK FindDescendant(HWND child, LPARAM arg)
{
    Descendant* d = (Descendant*)arg;
    if (GetDlgCtrlID(child) == d->id && IsWindowVisible(child)) {
        d->found = child;
        return FALSE;
    }
    return TRUE;
}

struct Counter {
    const char* cls;
    const char* title;
    int count;
};

static BOOL CALLBACK CountWindow(HWND window, LPARAM arg)
{
    Counter* c = (Counter*)arg;
    char cls[64] = "", title[256] = "";
    GetClassNameA(window, cls, sizeof(cls));
    GetWindowTextA(window, title, sizeof(title));
    if ((!c->cls || !lstrcmpA(cls, c->cls)) && (!c->title || !lstrcmpA(title, c->title)) &&
        IsWindowVisible(window))
        c->count++;
    return TRUE;
}

// Reads a list-view cell of another process through a buffer in that process.
static bool ReadCell(HWND list, int row, int column, char* out, int capacity)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process)
        return false;
    const SIZE_T textSize = 512;
    char* remote = (char*)VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + textSize,
                                         MEM_COMMIT, PAGE_READWRITE);
    bool ok = false;
    if (remote) {
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = remote + sizeof(LVITEMA);
        item.cchTextMax = (int)textSize;
        WriteProcessMemory(process, remote, &item, sizeof(item), nullptr);
        SendMessageA(list, LVM_GETITEMTEXTA, row, (LPARAM)remote);
        char text[512] = "";
        ok = ReadProcessMemory(process, remote + sizeof(LVITEMA), text, sizeof(text), nullptr) != 0;
        text[sizeof(text) - 1] = 0;
        lstrcpynA(out, text, capacity);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return ok;
}

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
        } else if (!strcmp(op, "descend") && need(1)) {
            Descendant d = {atoi(argv[i++]), nullptr};
            // A page fills its controls after its window shows.
            for (int tries = 0; g_current && !d.found && tries < 250; tries++) {
                EnumChildWindows(g_current, FindDescendant, (LPARAM)&d);
                if (!d.found)
                    Sleep(20);
            }
            ok = d.found != nullptr;
            if (ok)
                g_current = d.found;
        } else if (!strcmp(op, "parent")) {
            g_current = g_current ? GetParent(g_current) : nullptr;
            ok = g_current != nullptr;
        } else if (!strcmp(op, "rows")) {
            ok = g_current != nullptr;
            if (ok)
                printf("%d\n", (int)SendMessageA(g_current, LVM_GETITEMCOUNT, 0, 0));
        } else if (!strcmp(op, "cell") && need(2)) {
            char text[512] = "";
            ok = g_current && ReadCell(g_current, atoi(argv[i]), atoi(argv[i + 1]), text, sizeof(text));
            i += 2;
            if (ok)
                printf("%s\n", text);
        } else if (!strcmp(op, "count") && need(2)) {
            Counter c = {Arg(argv[i]), Arg(argv[i + 1]), 0};
            i += 2;
            EnumWindows(CountWindow, (LPARAM)&c);
            printf("%d\n", c.count);
            ok = true;
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
