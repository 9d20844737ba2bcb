#include "signature.h"
#include "handles.h"
#include "imagecerts.h"
#include "pathutil.h"
#include "resstring.h"
#include "signatureseam.h"
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <mscat.h>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

// Strings of the publisher texts.
enum {
    STR_VERIFIED = 1430,
    STR_NOT_VERIFIED = 1431,
    STR_BROKEN = 1432,
    STR_UNTRUSTED = 1433,
    STR_EXPIRED = 1434,
    STR_MISSING = 1435,
};

std::wstring Wide(const char* text)
{
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(length - 1);
    return wide;
}

// The certificate's name is the signer's to choose: no control character reaches a list, a
// log line or a dialog.
void CopySignerName(PCCERT_CONTEXT cert, char* out, int capacity)
{
    out[0] = 0;
    if (!cert)
        return;
    CertGetNameStringA(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, out, capacity);
    for (char* p = out; *p; p++)
        if ((unsigned char)*p < 32 || *p == 127)
            *p = ' ';
}

int StateOfStatus(LONG status)
{
    // A plain system error (the file could not be read as any signed form) is no verdict on
    // a signature: nothing was verified.
    if (status > 0 || HRESULT_FACILITY(status) == FACILITY_WIN32)
        return SIG_UNSIGNED;
    switch ((HRESULT)status) {
    case ERROR_SUCCESS: return SIG_VERIFIED;
    case TRUST_E_NOSIGNATURE:
    case TRUST_E_SUBJECT_FORM_UNKNOWN:
    case TRUST_E_PROVIDER_UNKNOWN:
    case CRYPT_E_FILE_ERROR: return SIG_UNSIGNED;
    case TRUST_E_BAD_DIGEST:
    case CRYPT_E_HASH_VALUE: return SIG_BROKEN;
    case CERT_E_EXPIRED:
    case CERT_E_VALIDITYPERIODNESTING: return SIG_EXPIRED;
    }
    return SIG_UNTRUSTED;
}

std::atomic<const CatalogCalls*> g_calls{nullptr};

const CatalogCalls& Calls()
{
    const CatalogCalls* calls = g_calls.load();
    return calls ? *calls : SystemCatalogCalls();
}

// One WinVerifyTrust run over prepared data: the state, and the signer's name from the leaf
// certificate whenever the provider got that far (also for an untrusted or expired chain).
int RunTrustProvider(WINTRUST_DATA* data, SignatureResult* out, LONG* status)
{
    const CatalogCalls& calls = Calls();
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    data->cbStruct = sizeof(*data);
    data->dwUIChoice = WTD_UI_NONE;
    data->fdwRevocationChecks = WTD_REVOKE_NONE;
    data->dwStateAction = WTD_STATEACTION_VERIFY;
    // No revocation lists fetched over the network: a scan must not wait on it.
    data->dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
    *status = calls.verifyTrust((HWND)INVALID_HANDLE_VALUE, &action, data);
    out->state = StateOfStatus(*status);
    out->signer[0] = 0;
    if (data->hWVTStateData) {
        CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data->hWVTStateData);
        CRYPT_PROVIDER_SGNR* signer =
            provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
        if (signer && signer->csCertChain > 0 && signer->pasCertChain)
            CopySignerName(signer->pasCertChain[0].pCert, out->signer, sizeof(out->signer));
        data->dwStateAction = WTD_STATEACTION_CLOSE;
        calls.verifyTrust((HWND)INVALID_HANDLE_VALUE, &action, data);
    }
    return out->state;
}

}   // namespace

// The catalog context, released through the calls that acquired it. The SHA-256 generation
// when the system has it, else the first.
struct SignatureCatalogs::Admin {
    Admin() : calls(&Calls())
    {
        GUID driverAction = DRIVER_ACTION_VERIFY;
        if (calls->acquire2 && calls->hash2 &&
            calls->acquire2(&handle, &driverAction, L"SHA256", nullptr, 0)) {
            second = true;
            return;
        }
        if (!calls->acquire(&handle, &driverAction, 0))
            handle = nullptr;
    }
    ~Admin()
    {
        if (handle)
            calls->releaseAdmin(handle, 0);
    }
    Admin(const Admin&) = delete;
    Admin& operator=(const Admin&) = delete;

    bool Hash(HANDLE file, std::vector<BYTE>* hash) const
    {
        DWORD size = 0;
        SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        if (!CalcHash(file, &size, nullptr))
            if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || !size)
                return false;
        if (!size || size > 256)
            return false;
        hash->assign(size, 0);
        SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        if (!CalcHash(file, &size, hash->data()) || !size || size > hash->size())
            return false;
        hash->resize(size);
        return true;
    }
    BOOL CalcHash(HANDLE file, DWORD* size, BYTE* out) const
    {
        return second ? calls->hash2(handle, file, size, out, 0) : calls->hash(file, size, out, 0);
    }

    const CatalogCalls* calls;
    HCATADMIN handle = nullptr;
    bool second = false;
};

void SignatureCatalogs::Release()
{
    delete admin;
    admin = nullptr;
}

namespace {

// A catalog found for a hash, released when done with.
class CatalogFound {
public:
    CatalogFound(const SignatureCatalogs::Admin& admin, std::vector<BYTE>& hash)
        : admin_(admin),
          info_(admin.calls->enumFromHash(admin.handle, hash.data(), (DWORD)hash.size(), 0, nullptr))
    {
    }
    ~CatalogFound()
    {
        if (info_)
            admin_.calls->releaseCatalog(admin_.handle, info_, 0);
    }
    CatalogFound(const CatalogFound&) = delete;
    CatalogFound& operator=(const CatalogFound&) = delete;

    HCATINFO get() const { return info_; }

private:
    const SignatureCatalogs::Admin& admin_;
    HCATINFO info_;
};

// Windows' own files are signed through its catalogs, not in the file: 1 when a catalog holds
// the file's hash and that catalog's signature verifies (out filled), else 0.
int VerifyThroughCatalog(const std::wstring& path, HANDLE file, SignatureCatalogs& catalogs,
                         SignatureResult* out)
{
    if (!catalogs.admin)
        catalogs.admin = new SignatureCatalogs::Admin;
    const SignatureCatalogs::Admin& admin = *catalogs.admin;
    std::vector<BYTE> hash;
    if (!admin.handle || !admin.Hash(file, &hash))
        return 0;
    CatalogFound info(admin, hash);
    if (!info.get())
        return 0;
    CATALOG_INFO catalog = {};
    catalog.cbStruct = sizeof(catalog);
    if (!admin.calls->catalogInfo(info.get(), &catalog, 0))
        return 0;
    catalog.wszCatalogFile[MAX_PATH - 1] = 0;
    std::wstring tag;
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    for (BYTE b : hash) {
        tag += kHex[b >> 4];
        tag += kHex[b & 15];
    }
    // The catalog admin handle that hashed with SHA-256 follows the older structure;
    // the headers only declare it for newer targets.
    struct {
        WINTRUST_CATALOG_INFO info;
        HCATADMIN hCatAdmin;
    } extended = {};
    WINTRUST_CATALOG_INFO& member = extended.info;
    member.cbStruct = sizeof(extended);
    member.pcwszCatalogFilePath = catalog.wszCatalogFile;
    member.pcwszMemberTag = tag.c_str();
    member.pcwszMemberFilePath = path.c_str();
    member.hMemberFile = file;
    member.pbCalculatedFileHash = hash.data();
    member.cbCalculatedFileHash = (DWORD)hash.size();
    extended.hCatAdmin = admin.handle;
    WINTRUST_DATA data = {};
    data.dwUnionChoice = WTD_CHOICE_CATALOG;
    data.pCatalog = &member;
    LONG status;
    SignatureResult viaCatalog = {};
    RunTrustProvider(&data, &viaCatalog, &status);
    // A catalog that lists the file but does not verify says nothing for it.
    if (viaCatalog.state == SIG_UNSIGNED || viaCatalog.state == SIG_MISSING)
        return 0;
    *out = viaCatalog;
    out->catalog = 1;
    return 1;
}

// What identifies a file's content without reading it: size and last write.
struct FileStamp {
    ULONGLONG size;
    ULONGLONG written;
};

bool StampOf(const char* path, FileStamp* stamp)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    stamp->size = ((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    stamp->written = ((ULONGLONG)data.ftLastWriteTime.dwHighDateTime << 32) |
                     data.ftLastWriteTime.dwLowDateTime;
    return true;
}

std::string CacheKey(const char* path)
{
    std::string key = path;
    if (!key.empty())
        CharUpperBuffA(&key[0], (DWORD)key.size());
    return key;
}

struct KeptAnswer {
    FileStamp stamp;
    SignatureResult result;
};

// Shared by the window's thread and the worker; never destroyed, so that a worker still busy
// when the process ends finds it in place.
struct Store {
    std::mutex lock;
    std::unordered_map<std::string, KeptAnswer> answers;
};
Store& TheStore()
{
    static Store* store = new Store;
    return *store;
}

struct Request {
    std::string path;
    HWND window;
    UINT message;
    WPARAM ticket;
};

struct Worker {
    std::mutex lock;
    std::condition_variable wake;
    std::deque<Request> queue;
    bool started = false;
};
Worker& TheWorker()
{
    static Worker* worker = new Worker;
    return *worker;
}

void WorkerLoop()
{
    Worker& w = TheWorker();
    // A queued run of requests shares one catalog context; it is given back whenever the
    // queue runs dry, by this loop itself (the thread never ends, so nothing else would).
    SignatureCatalogs catalogs;
    for (;;) {
        Request request;
        {
            std::unique_lock<std::mutex> hold(w.lock);
            w.wake.wait(hold, [&w] { return !w.queue.empty(); });
            request = std::move(w.queue.front());
            w.queue.pop_front();
        }
        SignatureResult result;
        GetFileSignature(request.path.c_str(), &result, &catalogs);
        bool idle;
        {
            std::lock_guard<std::mutex> hold(w.lock);
            idle = w.queue.empty();
        }
        if (idle)
            catalogs.Release();
        PostMessageA(request.window, request.message, request.ticket, 0);
    }
}

// Puts text in place of the first "%s" of a string-table text (which the registry may
// replace, so it is never used as a format).
void FillString(UINT id, const char* argument, char* out, int capacity)
{
    char text[256] = "";
    LoadResString(id, text, sizeof(text));
    std::string filled = text;
    size_t mark = filled.find("%s");
    if (mark != std::string::npos)
        filled.replace(mark, 2, argument ? argument : "");
    while (!filled.empty() && filled.back() == ' ')
        filled.pop_back();
    lstrcpynA(out, filled.c_str(), capacity);
}

}   // namespace

const CatalogCalls& SystemCatalogCalls()
{
    static const CatalogCalls calls = [] {
        HMODULE wintrust = GetModuleHandleA("wintrust.dll");
        CatalogCalls system = {};
        system.acquire2 = (decltype(system.acquire2))(void*)GetProcAddress(
            wintrust, "CryptCATAdminAcquireContext2");
        system.hash2 = (decltype(system.hash2))(void*)GetProcAddress(
            wintrust, "CryptCATAdminCalcHashFromFileHandle2");
        system.acquire = CryptCATAdminAcquireContext;
        system.hash = CryptCATAdminCalcHashFromFileHandle;
        system.enumFromHash = CryptCATAdminEnumCatalogFromHash;
        system.catalogInfo = CryptCATCatalogInfoFromContext;
        system.releaseCatalog = CryptCATAdminReleaseCatalogContext;
        system.releaseAdmin = CryptCATAdminReleaseContext;
        system.verifyTrust = WinVerifyTrust;
        return system;
    }();
    return calls;
}

void SetCatalogCalls(const CatalogCalls* calls) { g_calls.store(calls); }

int VerifyFileSignature(const char* path, SignatureResult* out, SignatureCatalogs* catalogs)
{
    memset(out, 0, sizeof(*out));
    FileStamp stamp;
    if (!path || !path[0] || !StampOf(path, &stamp)) {
        out->state = SIG_MISSING;
        return out->state;
    }
    std::wstring wide = Wide(path);
    Handle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr));
    WINTRUST_FILE_INFO info = {};
    info.cbStruct = sizeof(info);
    info.pcwszFilePath = wide.c_str();
    info.hFile = file ? file.get() : nullptr;
    WINTRUST_DATA data = {};
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &info;
    LONG status;
    // The system's readers trust the sizes inside a program image: only a sound one reaches
    // them. An image without a table of its own needs no provider, only the catalogs.
    // A file that cannot be read here is not verified; no reader is given it unexamined.
    int table = file ? ExamineImageCertificates(file.get()) : IMAGE_CERTS_BAD_IMAGE;
    if (table == IMAGE_CERTS_DAMAGED) {
        out->state = SIG_BROKEN;
        return out->state;
    }
    if (table == IMAGE_CERTS_BAD_IMAGE) {
        out->state = SIG_UNSIGNED;
        return out->state;
    }
    if (table == IMAGE_CERTS_NONE)
        out->state = SIG_UNSIGNED;
    else
        RunTrustProvider(&data, out, &status);
    if (out->state == SIG_UNSIGNED && file) {
        SignatureCatalogs own;
        VerifyThroughCatalog(wide, file.get(), catalogs ? *catalogs : own, out);
    }
    return out->state;
}

int PeekFileSignature(const char* path, SignatureResult* out)
{
    FileStamp stamp;
    if (!path || !path[0] || !StampOf(path, &stamp)) {
        memset(out, 0, sizeof(*out));
        out->state = SIG_MISSING;
        return 1;
    }
    Store& store = TheStore();
    std::lock_guard<std::mutex> hold(store.lock);
    auto kept = store.answers.find(CacheKey(path));
    if (kept == store.answers.end() || kept->second.stamp.size != stamp.size ||
        kept->second.stamp.written != stamp.written)
        return 0;
    *out = kept->second.result;
    return 1;
}

int GetFileSignature(const char* path, SignatureResult* out, SignatureCatalogs* catalogs)
{
    if (PeekFileSignature(path, out))
        return out->state;
    FileStamp before;
    bool stamped = StampOf(path, &before);
    VerifyFileSignature(path, out, catalogs);
    // A file written while it was being checked is checked again next time.
    FileStamp after;
    if (!stamped || !StampOf(path, &after) || after.size != before.size ||
        after.written != before.written)
        return out->state;
    Store& store = TheStore();
    std::lock_guard<std::mutex> hold(store.lock);
    store.answers[CacheKey(path)] = KeptAnswer{before, *out};
    return out->state;
}

void ForgetFileSignatures()
{
    Store& store = TheStore();
    std::lock_guard<std::mutex> hold(store.lock);
    store.answers.clear();
}

int RequestFileSignature(const char* path, HWND window, UINT message, WPARAM ticket)
{
    if (!path || !window)
        return 0;
    Worker& w = TheWorker();
    std::lock_guard<std::mutex> hold(w.lock);
    if (!w.started) {
        try {
            std::thread(WorkerLoop).detach();
        } catch (...) {
            return 0;
        }
        w.started = true;
    }
    w.queue.push_back(Request{path, window, message, ticket});
    w.wake.notify_one();
    return 1;
}

void CancelFileSignatureRequests(HWND window)
{
    Worker& w = TheWorker();
    std::lock_guard<std::mutex> hold(w.lock);
    for (auto it = w.queue.begin(); it != w.queue.end();)
        it = it->window == window ? w.queue.erase(it) : it + 1;
}

const std::string& SignaturePass::Program(const char* command)
{
    char text[260] = "";
    if (command && command[0])
        GetProgramFile(command, text);
    auto found = programs_.find(text);
    if (found != programs_.end())
        return found->second;
    char file[260];
    lstrcpynA(file, text, sizeof(file));
    // Only a name without a drive can stand for a file elsewhere (the Windows and System
    // folders); a full path is left as it is, and asking the long way about each of thousands
    // of missing programs would be most of what a report spends.
    bool full = file[0] == '\\' || strchr(file, ':') != nullptr;
    if (file[0] && !full)
        FileExists(file, sizeof(file));
    return programs_.emplace(text, file).first->second;
}

const SignatureResult& SignaturePass::Check(const char* command)
{
    const std::string& program = Program(command);
    std::string key = CacheKey(program.c_str());
    auto found = answers_.find(key);
    if (found != answers_.end())
        return found->second;
    SignatureResult result;
    GetFileSignature(program.c_str(), &result, &catalogs_);
    return answers_.emplace(key, result).first->second;
}

int IsMicrosoftSigned(const SignatureResult& result)
{
    // The names Windows' own releases are signed with; a name that merely contains
    // "Microsoft" proves nothing.
    static const char* const kNames[] = {
        "Microsoft Corporation", "Microsoft Windows", "Microsoft Windows Publisher",
        "Microsoft Windows Hardware Compatibility Publisher",
        "Microsoft Windows Third Party Component", "Microsoft Windows Production PCA 2011",
    };
    if (result.state != SIG_VERIFIED)
        return 0;
    for (const char* name : kNames)
        if (!lstrcmpA(result.signer, name))
            return 1;
    return 0;
}

int IsAlarmingSignature(const SignatureResult& result)
{
    return result.state == SIG_BROKEN || result.state == SIG_MISSING;
}

void PublisherText(const SignatureResult& result, const char* company, char* out, int capacity)
{
    const char* signer = result.signer[0] ? result.signer : company;
    switch (result.state) {
    case SIG_VERIFIED: FillString(STR_VERIFIED, result.signer, out, capacity); break;
    case SIG_BROKEN: FillString(STR_BROKEN, nullptr, out, capacity); break;
    case SIG_UNTRUSTED: FillString(STR_UNTRUSTED, signer, out, capacity); break;
    case SIG_EXPIRED: FillString(STR_EXPIRED, signer, out, capacity); break;
    case SIG_MISSING: FillString(STR_MISSING, nullptr, out, capacity); break;
    default: FillString(STR_NOT_VERIFIED, company, out, capacity); break;
    }
}
