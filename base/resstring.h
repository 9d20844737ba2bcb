// User-visible texts: resource strings, replaceable by HKLM "LString%d" values.
#pragma once
#include <windows.h>

// Language id of the user interface, from resource string 634; 0 when unknown.
extern int uiLanguage;

// Sets uiLanguage from the two-letter code in string 634.
void InitUiLanguage();
int LanguageIdFromCode(const char* code);

// Text of string id into buf (bounded by capacity); the length, 0 when there is none.
int LoadResString(UINT id, char* buf, int capacity);
// Sets a dialog control's text from a string; leaves the control alone when there is no text.
void SetDlgItemResString(HWND dialog, int controlId, UINT stringId);
