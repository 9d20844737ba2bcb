// The changes Kestrix makes to a browser's policies, offered extensions and profile files,
// each recorded before it is made: the registry values as they were (type and bytes, or
// that there was none) and the files as they were (a copy in the data folder's "browsers"
// folder). The record's key is the history line's source, so that a restore from the history
// puts back exactly what was there.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

#define KX_BROWSERS_UNDO_KEY "Software\\Orvane\\Kestrix\\Browsers\\Undo"

// One answer's changes. Every step first records what it changes; a step that fails puts
// back the steps before it (Abandon), so that a refused answer changes nothing.
class BrowserChange {
public:
    BrowserChange();
    ~BrowserChange();
    BrowserChange(const BrowserChange&) = delete;
    BrowserChange& operator=(const BrowserChange&) = delete;

    // root: HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER; view 0 or KEY_WOW64_32KEY.
    bool SetValue(HKEY root, REGSAM view, const std::string& path, const std::string& name,
                  DWORD type, const std::string& data);
    bool SetText(HKEY root, const std::string& path, const std::string& name, const std::string& text);
    bool SetNumber(HKEY root, const std::string& path, const std::string& name, DWORD number);
    bool DeleteValue(HKEY root, REGSAM view, const std::string& path, const std::string& name);
    // The key with its values (a key with subkeys is refused: nothing of it would be kept).
    bool DeleteKey(HKEY root, REGSAM view, const std::string& path);
    // Writes text as the whole file, the old file kept.
    bool ReplaceFile(const std::string& path, const std::string& text);

    // The item the answer refused (its baseline identity and data): a restore approves it.
    void ForItem(const std::string& identity, const std::string& data);

    // The history line (*START_Remove, its source the record) ends the change; 1 when done.
    int Finish(const char* title, const char* command, int type);
    // Puts back what was changed and forgets the record.
    void Abandon();
    // "HKCU\Software\Orvane\Kestrix\Browsers\Undo\<id>".
    std::string Source() const;

private:
    bool Record(HKEY root, REGSAM view, const std::string& path, const std::string& name,
                bool keyOnly);
    std::string id_, itemIdentity_, itemData_;
    int steps_ = 0;
    bool done_ = false;
};

// A history line's source names a browser change record.
bool IsBrowserChangeSource(const char* source);
// Puts back what the recorded change took away, exactly; a file only while its browser is
// closed (else 0, refused as in use). 1 when everything went back; places gets where each
// step wrote (the file's folder, or "HKLM\<key>" / "HKCU\<key>").
int RestoreBrowserChange(const char* source, std::vector<std::string>* places);

// The item a recorded change refused (see ForItem); false when it names none.
bool BrowserChangeItem(const char* source, std::string* identity, std::string* data);

// Whether a Firefox window is open: its profile files are then rewritten from memory when it
// closes, so they are changed only while it is closed.
int FirefoxIsOpen();

// Registry locations as the browser entries name them: "HKLM\...", "HKLM32\..." or "HKCU\...".
bool SplitLocation(const std::string& location, HKEY* root, REGSAM* view, std::string* path);
