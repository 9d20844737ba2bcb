// Text helpers shared by every part of the system.
#pragma once
#include <initializer_list>
#include <string>

// True when part occurs anywhere in text, compared case-insensitively. A text of
// 773 characters or more never matches (and leaves a trace record).
int InMyString(const char* text, const char* part);

// Whether the first n characters of a and b are equal ignoring case, when both are printable
// ASCII: 1 or 0, the system's own answer (each such character sorts apart from every other but
// its other case); -1 for other text, which the caller asks the system about. Asking costs a
// conversion per call, thousands of times per list.
int AsciiSameIgnoringCase(const char* a, const char* b, int n);

// Plain substitution for texts from the string table, which the user's language file may
// replace (LString<n>): "%s", "%d", "%u", "%ld" and "%lu" take the next value in turn, "%1" to
// "%9" the value of that number, "%%" is one "%". Nothing else is interpreted and no value is
// read again, so a replaced string cannot read or write anything that was not passed: a
// marker without a value (or any other "%" sequence) is copied as it stands. Numbers are
// passed as text.
void FillTextSlots(const char* text, const char* const* values, int count, char* out,
                   int capacity);
std::string FillText(const char* text, std::initializer_list<const char*> values);

// A wide text in the ANSI code page, cut to the whole characters that fit capacity - 1 bytes
// and always terminated; a null or unconvertible text gives "".
void NarrowText(const wchar_t* wide, char* out, int capacity);
// The whole wide text in the ANSI code page, of any length.
std::string NarrowAll(const wchar_t* wide);
// A text cut to the whole characters that fit capacity - 1 bytes (a double-byte character is
// never split), always terminated.
void CutText(const char* text, char* out, int capacity);
