// The publisher check over fixtures signed at build time: each kind of file gets its state,
// signer and shown text; answers are kept until the file changes; the worker thread posts
// one message per request.
#include "kxtest.h"
#include "resstring.h"
#include "signature.h"

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
