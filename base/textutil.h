// Text helpers shared by every part of the system.
#pragma once

// True when part occurs anywhere in text, compared case-insensitively. A text of
// 773 characters or more never matches (and leaves a trace record).
int InMyString(const char* text, const char* part);

// Puts the values in place of successive "%s" in a text from the string table; other "%"
// sequences are copied as they are, so a replaced string (LString<n>) cannot read or write
// arguments that were never passed.
void FillTextSlots(const char* text, const char* const* values, int count, char* out,
                   int capacity);
