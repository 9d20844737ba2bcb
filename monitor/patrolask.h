// The "ask" step the patrol checks share (sound, first-seen date, tray state, then the alert
// dialog under the monitor's guard flag) and their known-list helpers.
#pragma once
#include <windows.h>
#include <string>
#include <unordered_map>
#include <vector>
#include "entrylist.h"

// The current alert must be filled. detectedSubkey names the Software\Orvane\Detected
// subkey of the program's first-seen date. Returns the dialog's result.
INT_PTR AskAboutEntry(int sound, const char* command, const char* detectedSubkey, int trayIcon,
                      int trayTip, int templateId);

// A known list read once for a whole check: the number each name's data converts to.
// Names compare without regard to case, as the registry's do.
class KnownList {
public:
    explicit KnownList(const char* listKey);
    // 0 when absent.
    int Number(const char* name) const;
    // Keeps the copy in step with a write (number) or deletion (0) made during the check.
    void Remember(const char* name, int number);

private:
    std::unordered_map<std::string, int> numbers_;
};
// Writes list[name] = type code as decimal text.
void WriteKnownListEntry(const char* listKey, const char* name, int type);

// The entries of the list as they are now. The alerts re-enter the message loop, where other
// work may refill the shared list, so each check walks its own copy.
std::vector<EntryRecord> CopyEntries();
// Only the entries known has no number for: a pass over a thousand known services then copies
// nothing (a fresh copy of them all costs more than the rest of the check).
std::vector<EntryRecord> CopyUnknownEntries(const KnownList& known);
