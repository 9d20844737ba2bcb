/* A stubborn startup program: "kxfx_readder.exe <value name>" writes HKCU ...\Run <value name>
   = its own path and writes it again within 50 ms whenever it is gone, for up to 60 seconds. */
#include <windows.h>
#include <string.h>

static const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR args, int show)
{
    char self[MAX_PATH] = "";
    GetModuleFileNameA(NULL, self, sizeof(self));
    (void)instance;
    (void)previous;
    (void)show;
    while (*args == ' ')
        args++;
    if (!*args)
        return 1;
    for (int i = 0; i < 1200; i++) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, NULL, 0, KEY_READ | KEY_WRITE, NULL,
                            &key, NULL) == ERROR_SUCCESS) {
            if (RegQueryValueExA(key, args, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
                RegSetValueExA(key, args, 0, REG_SZ, (const BYTE*)self, (DWORD)strlen(self) + 1);
            RegCloseKey(key);
        }
        Sleep(50);
    }
    return 0;
}
