// Text helpers shared by every part of the system.
#pragma once

// True when part occurs anywhere in text, compared case-insensitively. A text of
// 773 characters or more never matches (and leaves a trace record).
int InMyString(const char* text, const char* part);

// Whether the first n characters of a and b are equal ignoring case, when both are printable
// ASCII: 1 or 0, the system's own answer (each such character sorts apart from every other but
// its other case); -1 for other text, which the caller asks the system about. Asking costs a
// conversion per call, thousands of times per list.
int AsciiSameIgnoringCase(const char* a, const char* b, int n);

// Puts the values in place of successive "%s" in a text from the string table; other "%"
// sequences are copied as they are, so a replaced string (LString<n>) cannot read or write
// arguments that were never passed.
void FillTextSlots(const char* text, const char* const* values, int count, char* out,
                   int capacity);

// A wide text in the ANSI code page, cut to capacity and always terminated; a null or
// unconvertible text gives "".
void NarrowText(const wchar_t* wide, char* out, int capacity);
