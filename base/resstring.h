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

// While one lives on a thread, that thread's loads of a string it loaded before are answered
// from memory: a report asks for the same few texts for each of thousands of rows, and outside
// English each load reads the registry. A replacement text changed meanwhile is seen by the
// next scope. Scopes nest; the outermost one owns the texts.
struct ResStringCacheScope {
    ResStringCacheScope();
    ~ResStringCacheScope();
    ResStringCacheScope(const ResStringCacheScope&) = delete;
    ResStringCacheScope& operator=(const ResStringCacheScope&) = delete;
    bool owner;
};
// Sets a dialog control's text from a string; leaves the control alone when there is no text.
void SetDlgItemResString(HWND dialog, int controlId, UINT stringId);
