// Resource ids shared by both programs and their code.
#pragma once

// Icons
#define IDI_KESTRIX 101
#define IDI_ALERT 115
#define IDI_BUSY 157
#define IDI_ADDON_ALERT 158
#define IDI_KESTRIX_9X 159
#define IDI_STARTUP_ALERT 161

// Built-in alert sound
#define IDW_ALERT 170

// Strings the code names often
#define IDS_WINDOW_CLASS 1
#define IDS_CAPTION 2
#define IDS_LANGUAGE 634
