// The load= and run= lists of the [windows] section of win.ini: commands separated by
// semicolons, each as it was written (quotes, short paths).
#pragma once
#include <string>

// The win.ini key of an entry code: "load" for WIN_LOAD, else "run".
const char* WinIniKeyOf(int code);
// Splits the key into the pieces that are the command (match gets the last one, as it was
// written) and the rest. false when no piece is the command.
bool SplitOutOfWinIni(const char* name, const char* command, std::string* match,
                      std::string* rest);
// 0 when no piece was the command, so nothing was removed.
int RemoveFromWinIni(const char* name, const char* command);
int AppendToWinIni(const char* name, const char* command);
// A value longer than 64 MB is not read whole, so it is never rewritten (every change above
// fails). Tests: a lower limit in bytes; 0 restores it.
void SetWinIniReadLimit(unsigned bytes);
