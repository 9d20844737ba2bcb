// What a No does to a browser item, and the way back from the history. Policy values and
// offered extensions are removed; a Firefox add-on is turned off in extensions.json and a
// page put back in prefs.js / user.js, only while Firefox is closed (until then the change
// waits, as the filtered cookie file does); a Chromium browser guards its own Secure
// Preferences, so an extension is blocked and a page put back through the policies it
// honours. Everything changed is recorded first (browserundo.h).
#pragma once
#include "browserbaseline.h"
#include <string>

enum BrowserAnswer {
    BROWSER_REFUSED = 0,     // the machine refused a write: nothing changed
    BROWSER_DONE = 1,        // put back now
    BROWSER_BY_POLICY = 2,   // a policy the browser applies when it next starts
    BROWSER_WAITING = 3,     // waits for Firefox to close
    BROWSER_NOTHING_KEPT = 4 // no page was approved before: nothing to put back
};

// No to an item; approved is the data the baseline holds for it (empty when none).
int RefuseBrowserItem(const BrowserItem& item, const std::string& approved);
// What an answer did, for people (empty for BROWSER_DONE and BROWSER_REFUSED).
std::string BrowserAnswerText(int answer, const BrowserItem& item);

// The changes waiting for Firefox to close, made now if it is closed; the number made.
int ApplyWaitingBrowserChanges();

// Restore from the history (the line's source): the change is put back exactly and what it
// brings back is approved, so that the monitor takes it back without asking.
int RestoreBrowserEntry(const char* source);

// The profile files' edits. The text with every user_pref of name set to value (nullptr:
// removed); when the file had none and value is given, append says whether to add one.
std::string WithFirefoxPref(const std::string& text, const std::string& name, const std::string* value,
                            bool append, bool* found);
// extensions.json with the add-on turned off ("active": false, "userDisabled": true); false
// when the text does not parse or has no such add-on.
bool WithFirefoxAddonOff(const std::string& json, const std::string& id, std::string* out);
