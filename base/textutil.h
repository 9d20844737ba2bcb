// Text helpers shared by every part of the system.
#pragma once

// True when part occurs anywhere in text, compared case-insensitively. A text of
// 773 characters or more never matches (and leaves a trace record).
int InMyString(const char* text, const char* part);
