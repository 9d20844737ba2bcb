// Alert sounds: one event per alert category, the built-in wave when none is chosen.
#pragma once
#include <windows.h>

enum AlertSound {
    SOUND_OPEN = 0,
    SOUND_STARTUP = 1,   // startup, services, automatic update and prefix
    SOUND_COOKIE = 2,
    SOUND_TASK = 3,
    SOUND_IE_HELPER = 4,   // browser add-ons and hidden files
    SOUND_FILETYPE = 5,
    SOUND_SYSFILE = 6,
};

// Plays the sound of an alert category (an index above 6 counts as 0). Nothing when the
// Sound option is 0 or less; a busy sound device skips the sound.
void PlayAlertSound(int index);
// Event key of an index under HKCU.
const char* AlertSoundKey(int index);
