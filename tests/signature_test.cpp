// The publisher check over fixtures signed at build time: each kind of file gets its state,
// signer and shown text; answers are kept until the file changes; the worker thread posts
// one message per request.
#include "kxtest.h"
#include "resstring.h"
#include "signature.h"
#include "signatureseam.h"

namespace {

std::string Fixture(const char* name) { return TestProgramFolder() + "\\" + name; }

std::string Res(UINT id)
{
    char text[256] = "";
    LoadResString(id, text, sizeof(text));
    return text;
}

std::string Shown(const SignatureResult& r, const char* company)
{
    char text[256] = "\xbd";
    PublisherText(r, company, text, sizeof(text));
    return text;
}

class SignatureTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        ForgetFileSignatures();
    }
};

}   // namespace

TEST_F(SignatureTest, EachKindOfFileGetsItsStateSignerAndText)
{
    const struct {
        std::string path;
        int state;
        std::string signer;
        bool microsoft, alarming;
        std::string text;
    } cases[] = {
        {Fixture("kxfx_signed.exe"), SIG_VERIFIED, "Kestrix Test Signer", false, false,
         "(Verified) Kestrix Test Signer"},
        {Fixture("kxfx_mssigned.exe"), SIG_VERIFIED, "Microsoft Windows", true, false,
         "(Verified) Microsoft Windows"},
        {Fixture("kxfx_app.exe"), SIG_UNSIGNED, "", false, false, "(Not verified) Orvane Fixtures"},
        {Fixture("kxfx_broken.exe"), SIG_BROKEN, "", false, true, "(Signature broken)"},
        {Fixture("kxfx_gone.exe"), SIG_MISSING, "", false, true, "(File not found)"},
        {TestProgramFolder(), SIG_MISSING, "", false, true, "(File not found)"},
        {"", SIG_MISSING, "", false, true, "(File not found)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        SignatureResult r;
        memset(&r, 0xbd, sizeof(r));
        EXPECT_EQ(c.state, VerifyFileSignature(c.path.c_str(), &r));
        EXPECT_EQ(c.state, r.state);
        if (c.state == SIG_VERIFIED || c.state == SIG_UNSIGNED || c.state == SIG_MISSING) {
            EXPECT_EQ(c.signer, r.signer);
        }
        EXPECT_EQ(0, r.catalog);
        EXPECT_EQ(c.microsoft, IsMicrosoftSigned(r) != 0);
        EXPECT_EQ(c.alarming, IsAlarmingSignature(r) != 0);
        EXPECT_EQ(c.text, Shown(r, "Orvane Fixtures"));
    }
}

// A verified file of another signer whose name only mentions the maker is not the maker's;
// texts with nothing to name lose their trailing blank; hostile strings stay text.
TEST_F(SignatureTest, ShownTextsAndTheMakersNames)
{
    SignatureResult r = {};
    r.state = SIG_VERIFIED;
    lstrcpyA(r.signer, "Microsoft Windows Fake Ltd");
    EXPECT_FALSE(IsMicrosoftSigned(r));
    lstrcpyA(r.signer, "Microsoft Corporation");
    EXPECT_TRUE(IsMicrosoftSigned(r));
    r.state = SIG_UNTRUSTED;
    EXPECT_FALSE(IsMicrosoftSigned(r));
    EXPECT_EQ(Res(1433).substr(0, Res(1433).find("%s")) + "Microsoft Corporation", Shown(r, "X"));
    r.state = SIG_EXPIRED;
    r.signer[0] = 0;
    EXPECT_EQ(Res(1434).substr(0, Res(1434).find("%s")) + "Vendor %s", Shown(r, "Vendor %s"));
    r.state = SIG_UNSIGNED;
    EXPECT_EQ("(Not verified)", Shown(r, ""));
    char small[8];
    PublisherText(r, "A long company name", small, sizeof(small));
    EXPECT_EQ(7u, strlen(small));
}

// The kept answer stands until the file's size or last write changes; then it is checked again.
TEST_F(SignatureTest, AnswersAreKeptUntilTheFileChanges)
{
    std::string copy = TempPath("kept.exe");
    ASSERT_TRUE(CopyFileA(Fixture("kxfx_signed.exe").c_str(), copy.c_str(), FALSE));
    SignatureResult r;
    EXPECT_FALSE(PeekFileSignature(copy.c_str(), &r));
    EXPECT_EQ(SIG_VERIFIED, GetFileSignature(copy.c_str(), &r));
    ASSERT_TRUE(PeekFileSignature(copy.c_str(), &r));
    EXPECT_EQ(SIG_VERIFIED, r.state);
    // Another spelling of the same path finds the same answer.
    std::string upper = copy;
    CharUpperBuffA(&upper[0], (DWORD)upper.size());
    EXPECT_TRUE(PeekFileSignature(upper.c_str(), &r));

    ASSERT_TRUE(CopyFileA(Fixture("kxfx_broken.exe").c_str(), copy.c_str(), FALSE));
    FILETIME later;
    GetSystemTimeAsFileTime(&later);
    HANDLE file = CreateFileA(copy.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    SetFileTime(file, nullptr, nullptr, &later);
    CloseHandle(file);
    EXPECT_FALSE(PeekFileSignature(copy.c_str(), &r));
    EXPECT_EQ(SIG_BROKEN, GetFileSignature(copy.c_str(), &r));

    ASSERT_TRUE(DeleteFileA(copy.c_str()));
    EXPECT_TRUE(PeekFileSignature(copy.c_str(), &r));
    EXPECT_EQ(SIG_MISSING, r.state);
}

// Requests are answered on the worker thread, each by one posted message with its ticket;
// cancelled ones are not.
TEST_F(SignatureTest, TheWorkerPostsOneMessagePerRequest)
{
    HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    const UINT kDone = WM_APP + 7;
    const char* names[] = {"kxfx_signed.exe", "kxfx_app.exe", "kxfx_broken.exe", "kxfx_signed.exe"};
    for (int i = 0; i < 4; i++)
        ASSERT_TRUE(RequestFileSignature(Fixture(names[i]).c_str(), window, kDone, 100 + i));
    int seen = 0, tickets = 0;
    DWORD start = GetTickCount();
    while (seen < 4 && GetTickCount() - start < 20000) {
        MSG msg;
        if (!PeekMessageA(&msg, window, kDone, kDone, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_POSTMESSAGE);
            continue;
        }
        seen++;
        tickets += (int)msg.wParam - 100;
    }
    EXPECT_EQ(4, seen);
    EXPECT_EQ(0 + 1 + 2 + 3, tickets);
    SignatureResult r;
    ASSERT_TRUE(PeekFileSignature(Fixture("kxfx_broken.exe").c_str(), &r));
    EXPECT_EQ(SIG_BROKEN, r.state);
    CancelFileSignatureRequests(window);
    DestroyWindow(window);
}

// --- The system catalogs, stood in for: a test machine has no catalog that lists a file of
// ours. The one catalog lists whatever it is asked about when told to; its own signature is
// a signed fixture's, which the trust provider checks in its place, so the signer comes from
// a real chain. Every context and provider state given out is counted back.
namespace {

struct FakeCatalogs {
    bool second = true, acquires = true, hashes = true, listed = true, described = true;
    DWORD hashSize = 32;
    LONG status = ERROR_SUCCESS;   // the catalog's verdict, given the fixture's state data
    std::wstring signedBy;

    int admins = 0, adminsReleased = 0, catalogs = 0, catalogsReleased = 0, verifies = 0,
        closes = 0, firstGeneration = 0;
    std::wstring tag, memberPath, catalogPath;
    DWORD memberSize = 0, hashBytes = 0;
    HCATADMIN memberAdmin = nullptr;
    HANDLE memberFile = nullptr;
    // The fixture's own check, open between a verify and its close.
    std::wstring innerPath;
    WINTRUST_FILE_INFO innerFile = {};
    WINTRUST_DATA inner = {};
};
FakeCatalogs* g_fake;

HCATADMIN const kAdmin = (HCATADMIN)0x5A0;
HCATINFO const kCatalog = (HCATINFO)0xCA7;
const wchar_t kCatalogFile[] =
    L"C:\\windows\\system32\\catroot\\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}\\kxfake.cat";

BYTE HashByte(DWORD i) { return (BYTE)(0xA0 + i * 7); }

BOOL WINAPI FakeAcquire2(HCATADMIN* admin, const GUID*, const WCHAR* algorithm,
                         const CERT_STRONG_SIGN_PARA*, DWORD)
{
    if (!g_fake->second || !g_fake->acquires || lstrcmpW(algorithm, L"SHA256"))
        return FALSE;
    g_fake->admins++;
    *admin = kAdmin;
    return TRUE;
}
BOOL WINAPI FakeAcquire(HCATADMIN* admin, const GUID*, DWORD)
{
    if (!g_fake->acquires)
        return FALSE;
    g_fake->admins++;
    *admin = kAdmin;
    return TRUE;
}
BOOL FakeHashOf(DWORD* size, BYTE* out)
{
    if (!g_fake->hashes)
        return SetLastError(ERROR_READ_FAULT), FALSE;
    if (!out || *size < g_fake->hashSize) {
        *size = g_fake->hashSize;
        return SetLastError(ERROR_INSUFFICIENT_BUFFER), FALSE;
    }
    *size = g_fake->hashSize;
    for (DWORD i = 0; i < *size; i++)
        out[i] = HashByte(i);
    return TRUE;
}
BOOL WINAPI FakeHash2(HCATADMIN admin, HANDLE, DWORD* size, BYTE* out, DWORD)
{
    return admin == kAdmin && FakeHashOf(size, out);
}
BOOL WINAPI FakeHash(HANDLE, DWORD* size, BYTE* out, DWORD)
{
    g_fake->firstGeneration++;
    return FakeHashOf(size, out);
}
HCATINFO WINAPI FakeEnum(HCATADMIN admin, BYTE* hash, DWORD size, DWORD, HCATINFO*)
{
    g_fake->hashBytes = size;
    bool same = admin == kAdmin && size == g_fake->hashSize;
    for (DWORD i = 0; same && i < size; i++)
        same = hash[i] == HashByte(i);
    if (!same || !g_fake->listed)
        return SetLastError(ERROR_NOT_FOUND), nullptr;
    g_fake->catalogs++;
    return kCatalog;
}
BOOL WINAPI FakeCatalogInfo(HCATINFO info, CATALOG_INFO* out, DWORD)
{
    if (info != kCatalog || !g_fake->described || out->cbStruct != sizeof(*out))
        return FALSE;
    lstrcpyW(out->wszCatalogFile, kCatalogFile);
    return TRUE;
}
BOOL WINAPI FakeReleaseCatalog(HCATADMIN admin, HCATINFO info, DWORD)
{
    g_fake->catalogsReleased += admin == kAdmin && info == kCatalog;
    return TRUE;
}
BOOL WINAPI FakeReleaseAdmin(HCATADMIN admin, DWORD)
{
    g_fake->adminsReleased += admin == kAdmin;
    return TRUE;
}
LONG WINAPI FakeVerifyTrust(HWND window, GUID* action, LPVOID argument)
{
    auto* data = (WINTRUST_DATA*)argument;
    if (data->dwUnionChoice != WTD_CHOICE_CATALOG)
        return WinVerifyTrust(window, action, argument);
    FakeCatalogs& f = *g_fake;
    if (data->dwStateAction == WTD_STATEACTION_CLOSE) {
        f.closes++;
        f.inner.dwStateAction = WTD_STATEACTION_CLOSE;
        WinVerifyTrust(window, action, &f.inner);
        data->hWVTStateData = nullptr;
        return ERROR_SUCCESS;
    }
    f.verifies++;
    const WINTRUST_CATALOG_INFO& member = *data->pCatalog;
    f.memberSize = member.cbStruct;
    f.catalogPath = member.pcwszCatalogFilePath;
    f.tag = member.pcwszMemberTag;
    f.memberPath = member.pcwszMemberFilePath;
    f.memberFile = member.hMemberFile;
    if (member.cbStruct >= sizeof(member) + sizeof(HCATADMIN))
        f.memberAdmin = *(const HCATADMIN*)(&member + 1);
    f.innerPath = f.signedBy;
    f.innerFile = {};
    f.innerFile.cbStruct = sizeof(f.innerFile);
    f.innerFile.pcwszFilePath = f.innerPath.c_str();
    f.inner = *data;
    f.inner.dwUnionChoice = WTD_CHOICE_FILE;
    f.inner.pFile = &f.innerFile;
    LONG real = WinVerifyTrust(window, action, &f.inner);
    data->hWVTStateData = f.inner.hWVTStateData;
    return real == ERROR_SUCCESS ? f.status : real;
}

std::wstring WideOf(const std::string& text)
{
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], (int)wide.size()) - 1);
    return wide;
}

CatalogCalls StandInCalls()
{
    CatalogCalls calls = SystemCatalogCalls();
    calls.acquire2 = FakeAcquire2;
    calls.hash2 = FakeHash2;
    calls.acquire = FakeAcquire;
    calls.hash = FakeHash;
    calls.enumFromHash = FakeEnum;
    calls.catalogInfo = FakeCatalogInfo;
    calls.releaseCatalog = FakeReleaseCatalog;
    calls.releaseAdmin = FakeReleaseAdmin;
    calls.verifyTrust = FakeVerifyTrust;
    return calls;
}

}   // namespace

TEST_F(SignatureTest, TheSystemCatalogsVouchForUnsignedFilesOnly)
{
    const CatalogCalls calls = StandInCalls();
    const std::wstring ms = WideOf(Fixture("kxfx_mssigned.exe"));
    const std::wstring vendor = WideOf(Fixture("kxfx_signed.exe"));
    std::string hex;
    for (DWORD i = 0; i < 32; i++) {
        char two[3];
        snprintf(two, sizeof(two), "%02X", HashByte(i));
        hex += two;
    }
    const struct {
        const char* what;
        const char* file;
        FakeCatalogs fake;
        int state, catalog;
        const char* signer;
        bool asked;   // the catalog's signature was checked
    } cases[] = {
        {"in no catalog", "kxfx_app.exe", [] { FakeCatalogs f; f.listed = false; return f; }(),
         SIG_UNSIGNED, 0, "", false},
        {"listed, Windows' signer", "kxfx_app.exe", [&] { FakeCatalogs f; f.signedBy = ms; return f; }(),
         SIG_VERIFIED, 1, "Microsoft Windows", true},
        {"first generation only", "kxfx_app.exe",
         [&] { FakeCatalogs f; f.signedBy = vendor; f.second = false; f.hashSize = 20; return f; }(),
         SIG_VERIFIED, 1, "Kestrix Test Signer", true},
        {"catalog expired", "kxfx_app.exe",
         [&] { FakeCatalogs f; f.signedBy = ms; f.status = CERT_E_EXPIRED; return f; }(),
         SIG_EXPIRED, 1, "Microsoft Windows", true},
        {"catalog untrusted", "kxfx_app.exe",
         [&] { FakeCatalogs f; f.signedBy = vendor; f.status = CERT_E_UNTRUSTEDROOT; return f; }(),
         SIG_UNTRUSTED, 1, "Kestrix Test Signer", true},
        {"catalog not signed", "kxfx_app.exe",
         [&] { FakeCatalogs f; f.signedBy = ms; f.status = TRUST_E_NOSIGNATURE; return f; }(),
         SIG_UNSIGNED, 0, "", true},
        {"catalog not described", "kxfx_app.exe",
         [&] { FakeCatalogs f; f.signedBy = ms; f.described = false; return f; }(),
         SIG_UNSIGNED, 0, "", false},
        {"hash fails", "kxfx_app.exe", [&] { FakeCatalogs f; f.hashes = false; return f; }(),
         SIG_UNSIGNED, 0, "", false},
        {"hash too long", "kxfx_app.exe", [&] { FakeCatalogs f; f.hashSize = 4096; return f; }(),
         SIG_UNSIGNED, 0, "", false},
        {"no catalog service", "kxfx_app.exe", [&] { FakeCatalogs f; f.acquires = false; return f; }(),
         SIG_UNSIGNED, 0, "", false},
        // The file's own signature answers; no catalog is asked.
        {"signed file", "kxfx_signed.exe", [&] { FakeCatalogs f; f.signedBy = ms; return f; }(),
         SIG_VERIFIED, 0, "Kestrix Test Signer", false},
        {"broken file", "kxfx_broken.exe", [&] { FakeCatalogs f; f.signedBy = ms; return f; }(),
         SIG_BROKEN, 0, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeCatalogs fake = c.fake;
        g_fake = &fake;
        SetCatalogCalls(&calls);
        std::string path = Fixture(c.file);
        SignatureResult r;
        memset(&r, 0xbd, sizeof(r));
        // No context given: the check acquires one if it needs it and gives it back.
        VerifyFileSignature(path.c_str(), &r);
        SetCatalogCalls(nullptr);
        g_fake = nullptr;
        EXPECT_EQ(c.state, r.state);
        EXPECT_EQ(c.catalog, r.catalog);
        if (c.state != SIG_BROKEN) {
            EXPECT_STREQ(c.signer, r.signer);
        }
        EXPECT_EQ(c.asked ? 1 : 0, fake.verifies);
        EXPECT_EQ(fake.admins, fake.adminsReleased) << "catalog context left open";
        EXPECT_EQ(fake.catalogs, fake.catalogsReleased) << "catalog left open";
        EXPECT_EQ(fake.verifies, fake.closes) << "provider state left open";
        if (!fake.second && fake.verifies) {
            EXPECT_EQ(2, fake.firstGeneration);
        }
        if (c.asked) {
            EXPECT_EQ(kCatalogFile, fake.catalogPath);
            EXPECT_EQ(WideOf(hex.substr(0, fake.hashSize * 2)), fake.tag);
            EXPECT_EQ(WideOf(path), fake.memberPath);
            EXPECT_NE(nullptr, fake.memberFile);
            EXPECT_EQ(sizeof(WINTRUST_CATALOG_INFO) + sizeof(HCATADMIN), fake.memberSize);
            EXPECT_EQ(kAdmin, fake.memberAdmin);
        }
    }
}

// A run of checks shares the context its owner holds: acquired by the first check that needs
// a catalog, given back by the owner and by nothing else. The worker gives its context back
// before it answers the last request it has queued; its answers come from the catalog too.
TEST_F(SignatureTest, ARunOfChecksSharesOneCatalogContextItsOwnerGivesBack)
{
    const CatalogCalls calls = StandInCalls();
    FakeCatalogs fake;
    fake.signedBy = WideOf(Fixture("kxfx_mssigned.exe"));
    g_fake = &fake;
    SetCatalogCalls(&calls);
    {
        SignatureCatalogs catalogs;
        SignatureResult r;
        for (const char* name : {"kxfx_signed.exe", "kxfx_app.exe", "kxfx_multi.exe", "kxfx_app.exe"}) {
            SCOPED_TRACE(name);
            VerifyFileSignature(Fixture(name).c_str(), &r, &catalogs);
            EXPECT_EQ(SIG_VERIFIED, r.state);
        }
        EXPECT_EQ(1, fake.admins) << "the signed file needs no catalog; the others share one";
        EXPECT_EQ(0, fake.adminsReleased);
        EXPECT_EQ(3, fake.verifies);
        catalogs.Release();
        EXPECT_EQ(1, fake.adminsReleased);
        VerifyFileSignature(Fixture("kxfx_app.exe").c_str(), &r, &catalogs);
        EXPECT_EQ(2, fake.admins);
    }
    EXPECT_EQ(2, fake.adminsReleased) << "the owner's end gives the context back";

    // A pass over a list holds one for its life.
    {
        SignaturePass pass;
        EXPECT_EQ(1, pass.Check(("\"" + Fixture("kxfx_app.exe") + "\" /a").c_str()).catalog);
        EXPECT_EQ(1, pass.Check(Fixture("kxfx_multi.exe").c_str()).catalog);
        EXPECT_EQ(3, fake.admins);
    }
    EXPECT_EQ(3, fake.adminsReleased);

    HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    const UINT kDone = WM_APP + 9;
    ForgetFileSignatures();
    const char* names[] = {"kxfx_app.exe", "kxfx_multi.exe", "kxfx_signed.exe"};
    for (int i = 0; i < 3; i++)
        ASSERT_TRUE(RequestFileSignature(Fixture(names[i]).c_str(), window, kDone, i));
    int seen = 0;
    DWORD start = GetTickCount();
    while (seen < 3 && GetTickCount() - start < 20000) {
        MSG msg;
        if (PeekMessageA(&msg, window, kDone, kDone, PM_REMOVE))
            seen++;
        else
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_POSTMESSAGE);
    }
    SetCatalogCalls(nullptr);
    g_fake = nullptr;
    EXPECT_EQ(3, seen);
    EXPECT_GT(fake.admins, 3);
    EXPECT_EQ(fake.admins, fake.adminsReleased) << "the worker kept its context after its last answer";
    EXPECT_EQ(fake.catalogs, fake.catalogsReleased);
    EXPECT_EQ(fake.verifies, fake.closes);
    SignatureResult r;
    ASSERT_TRUE(PeekFileSignature(Fixture("kxfx_multi.exe").c_str(), &r));
    EXPECT_EQ(1, r.catalog);
    EXPECT_STREQ("Microsoft Windows", r.signer);
    DestroyWindow(window);
}
