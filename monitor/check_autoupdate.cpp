// Every pass: the Windows automatic-update setting and the browser's default address prefix
// against the copies the user approved. A refused change is written back, by the explorer
// on Windows major version 6 (it runs with the highest rights the user has).
#include "browsersettings.h"
#include "checks.h"
#include "explorerstart.h"
#include "keys.h"
#include "patrolmessage.h"
#include "platform.h"
#include "program.h"
#include "refusal.h"
#include "registry.h"
#include "resstring.h"
#include "sounds.h"
#include "textutil.h"
#include "writefault.h"
#include <cstdio>

namespace {

void SettingText(DWORD value, char* out, int capacity)
{
    if (value >= 1 && value <= 4)
        LoadResString(1050 + value, out, capacity);
    else
        snprintf(out, capacity, "%lu", (unsigned long)value);
}

void Caption(UINT titleString, char* out, int capacity)
{
    char title[128] = "";
    LoadResString(titleString, title, sizeof(title));
    snprintf(out, capacity, "%s - %s", g_programCaption, title);
}

int Ask(UINT formatString, const char* first, const char* second, UINT titleString, UINT icon)
{
    char format[1024] = "", text[1024] = "", caption[256];
    LoadResString(formatString, format, sizeof(format));
    const char* values[] = {first, second};
    FillTextSlots(format, values, 2, text, sizeof(text));
    Caption(titleString, caption, sizeof(caption));
    PlayAlertSound(SOUND_STARTUP);
    return PatrolMessage(text, caption, MB_YESNO | icon);
}

// A put-back Windows refused: said once, in the check's own caption (it is then remembered
// and not asked about again while the setting stays as it is).
void SayRefused(UINT titleString)
{
    char text[1200], caption[256];
    if (!RefusalText(text, sizeof(text)))
        return;
    Caption(titleString, caption, sizeof(caption));
    PatrolMessage(text, caption, MB_OK | MB_ICONEXCLAMATION);
}

// 1 when the copy is a setting and the prefix may be compared on this pass.
int CheckAutoUpdate()
{
    DWORD copy = 0, system = 0;
    // The copy was taken at start; 0 (or none at all) approves a machine without the setting,
    // so a setting that appears is a change like any other.
    ReadAUOptionCopy(&copy);
    int present = ReadSystemAUOption(&system);
    if (!present)
        system = 0;
    if (copy > 4) {
        if (system != 0)
            StoreAUOptionCopy(system);
        return 0;
    }
    if (system == copy || IsRefusedAUOption(system))
        return 1;
    char before[256], after[256];
    SettingText(copy, before, sizeof(before));
    SettingText(system, after, sizeof(after));
    ClearWriteRefusal();
    if (Ask(1055, before, after, 1050, MB_ICONEXCLAMATION) == IDNO)
        StoreAUOptionCopy(system);
    else if (copy == 0)
        DeleteRegValue(HKEY_LOCAL_MACHINE, KX_AUTOUPDATE_KEY, "AUOptions");   // none approved
    else if (WindowsMajorVersion() == 6)
        StartExplorer("-AUOption");
    else if (!RestoreAUOptionFromCopy())
        SayRefused(1050);
    return 1;
}

void CheckUrlPrefix()
{
    char approved[256], system[256];
    StoredUrlPrefix(approved, sizeof(approved));
    // A machine without the value has no prefix to guard; comparing "" would ask every pass.
    if (!ReadSystemUrlPrefix(system, sizeof(system)) || lstrcmpiA(approved, system) == 0 ||
        IsRefusedUrlPrefix(system))
        return;
    ClearWriteRefusal();
    if (Ask(1065, approved, system, 1060, MB_ICONSTOP) == IDNO)
        SetRegValue(HKEY_CURRENT_USER, KX_KEY, "wwwPrefix", system);
    else if (WindowsMajorVersion() == 6)
        StartExplorer("-SetPrefix");
    else if (!RestoreUrlPrefixFromCopy())
        SayRefused(1060);
}

}   // namespace

void CheckAutoUpdateAndPrefix()
{
    if (CheckAutoUpdate())
        CheckUrlPrefix();
}
