// The startup check of the patrol: every autostart entry that is not in the known list is
// shown to the user, who approves, rejects or disables it.
#pragma once

// Known-state of an entry in HKCU Software\Orvane\Kestrix\Run.
enum KnownState { KNOWN_NEW = 0, KNOWN_DELAYED = 1103 };

// The startup check: pre-scan, then one alert per new or moved-back entry.
void VerifyStartup();

// 0 new, 1103 moved to delayed start, any other number: the known type code.
int StartupKnownState(const char* command, const char* title);
