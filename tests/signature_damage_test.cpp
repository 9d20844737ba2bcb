// Damaged program files before the publisher check: a signed fixture cut, its headers and its
// certificate table bent out of shape in each way a reader could trust, then seeded garbage
// over its headers and table. No case may crash or hang the check; a table that is there but
// damaged is a broken signature, never an untrusted one; headers no loader would take are
// not verified.
#include "garbage.h"
#include "imagecerts.h"
#include "kxtest.h"
#include "signature.h"
#include <wintrust.h>
#include <cstring>
#include <functional>

namespace {

std::string Fixture(const char* name) { return TestProgramFolder() + "\\" + name; }

bool WriteBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD wrote = 0;
    bool ok = bytes.empty() || WriteFile(file, bytes.data(), (DWORD)bytes.size(), &wrote, nullptr);
    CloseHandle(file);
    return ok && wrote == bytes.size();
}

// Where the fixture keeps what the cases bend, read from its own headers.
struct Layout {
    size_t nt, fileHeader, optional, optionalSize, directories, table, sections;
    DWORD tableAt, tableSize;
};

template <typename T> T Get(const std::string& bytes, size_t at)
{
    T value = T();
    if (at + sizeof(T) <= bytes.size())
        memcpy(&value, bytes.data() + at, sizeof(T));
    return value;
}
template <typename T> void Put(std::string& bytes, size_t at, T value)
{
    if (at + sizeof(T) <= bytes.size())
        memcpy(&bytes[at], &value, sizeof(T));
}

Layout LayoutOf(const std::string& image)
{
    Layout l = {};
    l.nt = Get<DWORD>(image, 0x3C);
    l.fileHeader = l.nt + 4;
    l.optional = l.fileHeader + sizeof(IMAGE_FILE_HEADER);
    l.optionalSize = Get<WORD>(image, l.fileHeader + 16);
    l.directories = l.optional + offsetof(IMAGE_OPTIONAL_HEADER64, NumberOfRvaAndSizes);
    l.table = l.optional + offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory) +
              IMAGE_DIRECTORY_ENTRY_SECURITY * sizeof(IMAGE_DATA_DIRECTORY);
    l.sections = l.optional + l.optionalSize;
    l.tableAt = Get<DWORD>(image, l.table);
    l.tableSize = Get<DWORD>(image, l.table + 4);
    return l;
}

class SignatureDamageTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        ForgetFileSignatures();
        FILE* in = fopen(Fixture("kxfx_signed.exe").c_str(), "rb");
        ASSERT_NE(nullptr, in);
        char chunk[65536];
        size_t got;
        while ((got = fread(chunk, 1, sizeof(chunk), in)) > 0)
            signed_.append(chunk, got);
        fclose(in);
        layout_ = LayoutOf(signed_);
        // The fixture is what the cases assume: a 64-bit image whose table ends the file.
        ASSERT_EQ(IMAGE_NT_OPTIONAL_HDR64_MAGIC, Get<WORD>(signed_, layout_.optional));
        ASSERT_GT(layout_.tableAt, layout_.sections);
        ASSERT_EQ(signed_.size(), (size_t)layout_.tableAt + layout_.tableSize);
    }

    // The check of bytes as a program file: its state, with a sound answer around it.
    int Check(const std::string& bytes, const char* name = "damaged.exe")
    {
        std::string path = TempPath(name);
        EXPECT_TRUE(WriteBytes(path, bytes));
        SignatureResult r;
        memset(&r, 0xbd, sizeof(r));
        VerifyFileSignature(path.c_str(), &r);
        EXPECT_TRUE(memchr(r.signer, 0, sizeof(r.signer))) << "signer left unterminated";
        for (const char* p = r.signer; p < r.signer + sizeof(r.signer) && *p; p++)
            EXPECT_GE((unsigned char)*p, 32u) << "control character in the signer";
        EXPECT_TRUE(r.state >= SIG_VERIFIED && r.state <= SIG_MISSING) << r.state;
        EXPECT_TRUE(r.state != SIG_BROKEN || !r.signer[0]);
        return r.state;
    }

    std::string signed_;
    Layout layout_;
};

const char* StateName(int state)
{
    static const char* const names[] = {"verified", "unsigned", "broken", "untrusted", "expired", "missing"};
    return state >= 0 && state <= SIG_MISSING ? names[state] : "?";
}

}   // namespace

// A cut file: inside the table it is a broken signature; cut in the sections its image no
// longer holds what its headers promise (still claiming a table: broken); cut in the headers
// there is no image, nothing verified.
TEST_F(SignatureDamageTest, ACutFileIsBrokenOrNotVerifiedNeverUntrusted)
{
    ASSERT_EQ(SIG_VERIFIED, Check(signed_));
    const size_t headersEnd = layout_.sections;
    std::vector<size_t> cuts = {0, 1, 2, 0x3C, 0x40, layout_.nt + 2, layout_.optional + 2,
                                layout_.table + 4, headersEnd - 1, headersEnd, headersEnd + 39,
                                layout_.tableAt, layout_.tableAt + 4, layout_.tableAt + 8,
                                layout_.tableAt + 9, layout_.tableAt + 100,
                                signed_.size() - layout_.tableSize / 2, signed_.size() - 8,
                                signed_.size() - 1};
    for (size_t at = 997; at < signed_.size(); at += 4999)
        cuts.push_back(at);
    for (size_t cut : cuts) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        int state = Check(signed_.substr(0, cut));
        // Before the optional header's end the directories cannot be read.
        int expected = cut < layout_.sections ? SIG_UNSIGNED : SIG_BROKEN;
        EXPECT_STREQ(StateName(expected), StateName(state));
    }
}

// The headers and the table bent one field at a time.
TEST_F(SignatureDamageTest, EachDamagedFieldGetsTheTruthfulState)
{
    const Layout& l = layout_;
    const size_t entry = l.tableAt;
    const size_t size = signed_.size();
    const struct {
        const char* what;
        std::function<void(std::string&)> bend;
        int state;
    } cases[] = {
        // The table's place and size.
        {"table at the file's end", [&](std::string& b) { Put<DWORD>(b, l.table, (DWORD)size); }, SIG_BROKEN},
        {"table past the end", [&](std::string& b) { Put<DWORD>(b, l.table, (DWORD)size + 4096); }, SIG_BROKEN},
        {"table near 4 GB", [&](std::string& b) { Put<DWORD>(b, l.table, 0xFFFFFFF8u); }, SIG_BROKEN},
        {"table longer than the file", [&](std::string& b) { Put<DWORD>(b, l.table + 4, l.tableSize + 8); }, SIG_BROKEN},
        {"table of 4 GB", [&](std::string& b) { Put<DWORD>(b, l.table + 4, 0xFFFFFFFFu); }, SIG_BROKEN},
        {"table of no size", [&](std::string& b) { Put<DWORD>(b, l.table + 4, 0); }, SIG_BROKEN},
        {"table of 4 bytes", [&](std::string& b) { Put<DWORD>(b, l.table + 4, 4); }, SIG_BROKEN},
        {"table at 0", [&](std::string& b) { Put<DWORD>(b, l.table, 0); }, SIG_BROKEN},
        {"table in the headers", [&](std::string& b) { Put<DWORD>(b, l.table, (DWORD)l.nt); }, SIG_BROKEN},
        {"table in a section",
         [&](std::string& b) { Put<DWORD>(b, l.table, Get<DWORD>(b, l.sections + 20)); }, SIG_BROKEN},
        {"table shorter than its entry", [&](std::string& b) { Put<DWORD>(b, l.table + 4, l.tableSize - 16); },
         SIG_BROKEN},
        // The WIN_CERTIFICATE header.
        {"entry header zeroed", [&](std::string& b) { Put<ULONGLONG>(b, entry, 0); }, SIG_BROKEN},
        {"entry header garbled", [&](std::string& b) { Put<ULONGLONG>(b, entry, 0x5A5AA5A5C3C33C3CULL); },
         SIG_BROKEN},
        {"entry of 8 bytes", [&](std::string& b) { Put<DWORD>(b, entry, 8); }, SIG_BROKEN},
        {"entry longer than the table", [&](std::string& b) { Put<DWORD>(b, entry, l.tableSize + 1); },
         SIG_BROKEN},
        {"entry of 4 GB", [&](std::string& b) { Put<DWORD>(b, entry, 0xFFFFFFFFu); }, SIG_BROKEN},
        {"unknown revision", [&](std::string& b) { Put<WORD>(b, entry + 4, 0x0300); }, SIG_BROKEN},
        {"unknown kind", [&](std::string& b) { Put<WORD>(b, entry + 6, 9); }, SIG_BROKEN},
        {"only a certificate, no signed data", [&](std::string& b) { Put<WORD>(b, entry + 6, WIN_CERT_TYPE_X509); },
         SIG_BROKEN},
        {"signed data not a sequence", [&](std::string& b) { b[entry + 8] = 0x31; }, SIG_BROKEN},
        {"signed data longer than its entry", [&](std::string& b) { b[entry + 10] = (char)0x7F; }, SIG_BROKEN},
        {"signed data of 4 GB", [&](std::string& b) { b[entry + 9] = (char)0x84; }, SIG_BROKEN},
        // Bytes after the signed data hide in what the digest leaves out.
        {"garbage in the padding", [&](std::string& b) { b[size - 1] = 0x55; }, SIG_BROKEN},
        {"more than padding after the signed data",
         [&](std::string& b) { b.append(8, '\0'); Put<DWORD>(b, entry, l.tableSize + 8); Put<DWORD>(b, l.table + 4, l.tableSize + 8); },
         SIG_BROKEN},
        // The headers: with a table claimed, what the digest would read must be there.
        {"65535 sections", [&](std::string& b) { Put<WORD>(b, l.fileHeader + 2, 0xFFFF); }, SIG_BROKEN},
        {"a section past the end",
         [&](std::string& b) { Put<DWORD>(b, l.sections + 20, (DWORD)size - 16); }, SIG_BROKEN},
        {"a section of 4 GB", [&](std::string& b) { Put<DWORD>(b, l.sections + 16, 0xFFFFFFF0u); }, SIG_BROKEN},
        {"section data at 4 GB", [&](std::string& b) { Put<DWORD>(b, l.sections + 20, 0xFFFFFF00u); }, SIG_BROKEN},
        // Headers no loader would take: the table cannot be found, nothing is verified.
        {"the 32-bit magic", [&](std::string& b) { Put<WORD>(b, l.optional, IMAGE_NT_OPTIONAL_HDR32_MAGIC); },
         SIG_UNSIGNED},
        {"a ROM image's magic", [&](std::string& b) { Put<WORD>(b, l.optional, IMAGE_ROM_OPTIONAL_HDR_MAGIC); },
         SIG_UNSIGNED},
        {"no magic", [&](std::string& b) { Put<WORD>(b, l.optional, 0); }, SIG_UNSIGNED},
        {"no optional header", [&](std::string& b) { Put<WORD>(b, l.fileHeader + 16, 0); }, SIG_UNSIGNED},
        {"optional header past the end", [&](std::string& b) { Put<WORD>(b, l.fileHeader + 16, 0xFFFF); b.resize(0x8000); },
         SIG_UNSIGNED},
        {"4 billion directories", [&](std::string& b) { Put<DWORD>(b, l.directories, 0xFFFFFFFFu); }, SIG_UNSIGNED},
        {"directories past the header", [&](std::string& b) { Put<WORD>(b, l.fileHeader + 16, 0x80); },
         SIG_UNSIGNED},
        {"no PE signature", [&](std::string& b) { b[l.nt] = 'X'; }, SIG_UNSIGNED},
        {"PE header past the end", [&](std::string& b) { Put<DWORD>(b, 0x3C, (DWORD)size - 2); }, SIG_UNSIGNED},
        {"PE header at 4 GB", [&](std::string& b) { Put<DWORD>(b, 0x3C, 0xFFFFFFF0u); }, SIG_UNSIGNED},
        {"PE header inside the DOS header", [&](std::string& b) { Put<DWORD>(b, 0x3C, 4); }, SIG_UNSIGNED},
        // Fewer directories than the table's: the loader sees no table, so neither do we.
        {"four directories", [&](std::string& b) { Put<DWORD>(b, l.directories, 4); }, SIG_UNSIGNED},
        // Outside the headers and the table: the signature's own digest decides.
        {"a byte of code changed", [&](std::string& b) { b[Get<DWORD>(b, l.sections + 20) + 16] ^= 1; }, SIG_BROKEN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = signed_;
        c.bend(bytes);
        ASSERT_NE(signed_, bytes);
        EXPECT_STREQ(StateName(c.state), StateName(Check(bytes)));
    }
}

// Seeded garbage over the headers and the table: whatever the check answers, it answers, and
// a table our own reading finds damaged is never reported as anything but broken.
TEST_F(SignatureDamageTest, GarbageOverHeadersAndTableNeverCrashesTheCheck)
{
    const size_t headers = layout_.sections + 10 * sizeof(IMAGE_SECTION_HEADER);
    const std::string head = signed_.substr(0, headers);
    const std::string table = signed_.substr(layout_.tableAt);
    const std::string body = signed_.substr(headers, layout_.tableAt - headers);
    int states[SIG_MISSING + 1] = {};
    ForEachGarbageCase("signed-image", 150, [&](GarbageRandom& random, int) {
        std::string newHead = head, newTable = table;
        int where = (int)random.Below(3);
        if (where != 1)
            newHead = MutateSample(head, random, 0).substr(0, head.size() * 2);
        if (where != 0)
            newTable = MutateSample(table, random, 0).substr(0, table.size() * 2);
        std::string bytes = newHead + body + newTable;
        std::string path = TempPath("garbage.exe");
        ASSERT_TRUE(WriteBytes(path, bytes));
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        int examined = ExamineImageCertificates(file);
        CloseHandle(file);
        int state = Check(bytes, "garbage.exe");
        states[state]++;
        if (examined == IMAGE_CERTS_DAMAGED) {
            EXPECT_STREQ("broken", StateName(state));
        }
        if (examined == IMAGE_CERTS_BAD_IMAGE) {
            EXPECT_STREQ("unsigned", StateName(state));
        }
    });
    // The garbage reached each way out, not only the first check.
    EXPECT_GT(states[SIG_BROKEN], 0);
    EXPECT_GT(states[SIG_UNSIGNED], 0);
}
