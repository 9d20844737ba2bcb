// Who made a program: its Authenticode signature (or the system catalog that vouches for it)
// checked by the system's trust provider, without a user interface and without fetching
// revocation lists. Answers are kept per file (path, size, last write), so a list of thousands
// of entries that name a few dozen programs checks each program once; a window can have them
// checked on a worker thread and be told as each answer arrives.
#pragma once
#include <windows.h>
#include <string>
#include <unordered_map>

enum SignatureState {
    SIG_VERIFIED,    // the signature verifies; signer holds the leaf certificate's name
    SIG_UNSIGNED,    // neither the file nor a system catalog carries a signature for it
    SIG_BROKEN,      // signed, but the file was changed after signing
    SIG_UNTRUSTED,   // signed by a certificate the system does not trust (or revoked)
    SIG_EXPIRED,     // the signing certificate was not valid when checked
    SIG_MISSING,     // the file does not exist
};

struct SignatureResult {
    int state;
    int catalog;        // 1 when a system catalog, not the file itself, carries the signature
    char signer[128];   // leaf certificate's simple name (control characters made blanks)
};

// The system catalogs' context for a run of checks: acquired by the first check that needs a
// catalog, kept for the next ones (acquiring it costs more than most checks) and released by
// Release or the destructor, on the owner's thread. Not shared between threads.
class SignatureCatalogs {
public:
    SignatureCatalogs() = default;
    ~SignatureCatalogs() { Release(); }
    SignatureCatalogs(const SignatureCatalogs&) = delete;
    SignatureCatalogs& operator=(const SignatureCatalogs&) = delete;
    void Release();

    struct Admin;
    Admin* admin = nullptr;   // null until a check needed it
};

// Checks the file now, without the kept answers. Returns the state. Without catalogs, a
// context the check needs is acquired and released within it.
int VerifyFileSignature(const char* path, SignatureResult* out, SignatureCatalogs* catalogs = nullptr);
// The kept answer when the file has not changed since, else checks and keeps it.
int GetFileSignature(const char* path, SignatureResult* out, SignatureCatalogs* catalogs = nullptr);
// The kept answer only: 1 when there is one for the file as it is now, else 0 (out untouched).
int PeekFileSignature(const char* path, SignatureResult* out);
// Forgets every kept answer (tests, and a cold measurement).
void ForgetFileSignatures();

// Has the file checked on the worker thread; when its answer is kept, window receives
// message with wParam = ticket and lParam = 0 (posted, so a window that is gone is harmless).
// The worker's catalog context lasts while requests are queued: it is released before the
// message of the last queued request is posted.
// Returns 0 when the request could not be queued.
int RequestFileSignature(const char* path, HWND window, UINT message, WPARAM ticket);
// Drops the queued requests that would be answered to window (a page refilled or closed).
void CancelFileSignatureRequests(HWND window);

// One pass over an entry list (a fill, a report): thousands of commands name a few dozen
// programs, so each distinct program text is resolved to its file, and each file's answer
// looked up, once per pass.
class SignaturePass {
public:
    // The program file a command names, as the lists resolve it ("" when it names none).
    const std::string& Program(const char* command);
    // The program's answer, checked now when no answer is kept.
    const SignatureResult& Check(const char* command);

private:
    SignatureCatalogs catalogs_;
    std::unordered_map<std::string, std::string> programs_;     // program text -> file
    std::unordered_map<std::string, SignatureResult> answers_;  // file (upper case) -> answer
};

// 1 when the state and signer say Windows' maker signed the file (its own release names only).
int IsMicrosoftSigned(const SignatureResult& result);

// The text a list, dialog or report shows: "(Verified) <signer>", "(Not verified) <company>",
// "(Signature broken)" and the like, from the string table.
void PublisherText(const SignatureResult& result, const char* company, char* out, int capacity);
// 1 for the states a user should look at twice (broken signature, missing file).
int IsAlarmingSignature(const SignatureResult& result);
