#include "sounds.h"
#include "monitorseams.h"
#include "options.h"
#include "registry.h"
#include "resource.h"
#include <mmsystem.h>

static const char* const kEventKeys[] = {
    "AppEvents\\Schemes\\Apps\\Kestrix\\Open\\.current",
    "AppEvents\\Schemes\\Apps\\Kestrix\\Startup Alert\\.current",
    "AppEvents\\Schemes\\Apps\\Kestrix\\Cookie Alert\\.current",
    "AppEvents\\Schemes\\Apps\\Kestrix\\Task Alert\\.current",
    "AppEvents\\Schemes\\Apps\\Kestrix\\IE Helper\\.current",
    "AppEvents\\Schemes\\Apps\\Kestrix\\FileType Alert\\.current",
    "AppEvents\\Schemes\\Apps\\Kestrix\\SystemFile Alert\\.current",
};

static SoundPlayer g_player;

void SetSoundPlayerSeam(SoundPlayer player) { g_player = player; }

const char* AlertSoundKey(int index)
{
    if (index < 0 || index > SOUND_SYSFILE)
        index = SOUND_OPEN;
    return kEventKeys[index];
}

void PlayAlertSound(int index)
{
    if (GetOption("Sound", 1) <= 0)
        return;
    char wave[260] = "";
    GetRegValue(HKEY_CURRENT_USER, AlertSoundKey(index), "", wave, sizeof(wave));
    SoundPlayer play = g_player ? g_player : PlaySoundA;
    // Synchronous, and skipped when the device is busy.
    // A chosen file that is gone falls back to the built-in sound.
    if (wave[0] && GetFileAttributesA(wave) != INVALID_FILE_ATTRIBUTES)
        play(wave, nullptr, SND_FILENAME | SND_NOWAIT);
    else
        play(MAKEINTRESOURCEA(IDW_ALERT), GetModuleHandleA(nullptr), SND_RESOURCE | SND_NOWAIT);
}
