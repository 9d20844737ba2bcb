/* The explorer's cookie filter page, its cookie list and the text viewer. */
#pragma once
#include "dialogs_pages.h"

/* Cookie filter page (IDD_PAGE_COOKIES), besides the controls every page may carry */
#define IDC_COOKIES_WORD 1004        /* the word to add (the page has no Close button) */
#define IDC_COOKIES_SELECTED 1105    /* the filter row last selected */
#define IDC_COOKIES_FOLDER 1143      /* the cookie folder in use */

/* Cookie list */
#define IDD_COOKIE_LIST 145
#define IDC_COOKIE_LIST_TEXT1 1045
#define IDC_COOKIE_LIST_TEXT2 1046
#define IDC_COOKIE_LIST_VIEW 1008
#define IDC_COOKIE_REMOVE_UNCHECKED 1004
#define IDC_COOKIE_REMOVE_CHECKED 1103
#define IDC_COOKIE_LIST_FOLDER 1145
#define IDC_COOKIE_LIST_STATUS 1146

/* Text viewer */
#define IDD_TEXT_VIEWER 109
#define IDC_VIEWER_TEXT 1004
#define IDC_VIEWER_PATH 1005
