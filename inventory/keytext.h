// Reading text values from a key that is already open, for inventories that read several
// values of one key in a row (one open instead of one per value).
#pragma once
#include <windows.h>

// Text of a REG_SZ / REG_EXPAND_SZ value (expanded) into out; its length. Missing, of another
// type, or not fitting in capacity - 1 characters: 0 and an empty text.
int ReadKeyText(HKEY key, const char* name, char* out, int capacity);
