/* Ids of the explorer dialogs the shared code shows. */
#pragma once

/* Protection warning before a system hook is removed */
#define IDD_PROTECTION_WARNING 194
#define IDC_WARNING_CONFIRM 1014
#define IDC_WARNING_COMMAND 1177
#define IDC_WARNING_TEXT 1178
#define IDC_WARNING_FILE 1179
