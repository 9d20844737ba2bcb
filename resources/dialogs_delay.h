// Control ids of the delayed-start dialogs of the explorer.
#pragma once

// Startup Program Type: who a newly added delayed program starts for.
#define IDD_PROGRAM_TYPE 199
#define IDC_TYPE_QUESTION 1198
#define IDC_TYPE_ALL_USERS 1199
#define IDC_TYPE_CURRENT_USER 1200

// Delay options of one delayed program.
#define IDD_DELAY_OPTIONS 198
#define IDC_DELAY_PROGRAM 1210
#define IDC_DELAY_MINUTES 1211
#define IDC_DELAY_SECONDS 1212
#define IDC_DELAY_OPENAS 1213
#define IDC_DELAY_PARAMETERS 1214
#define IDC_DELAY_TITLE 1215
