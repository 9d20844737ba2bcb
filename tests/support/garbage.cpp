#include "garbage.h"
#include "handles.h"
#include <gtest/gtest.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

uint64_t GarbageRandom::Next()
{
    // splitmix64: every seed, zero included, gives a full-period stream.
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

size_t GarbageRandom::Below(size_t n) { return n ? (size_t)(Next() % n) : 0; }

namespace {

// Lengths just around the buffers and fields the programs read into.
const size_t kEdgeLengths[] = {31, 32, 47, 48, 127, 128, 255, 256, 259, 260, 261, 511, 512, 513,
                               772, 773, 1023, 1024, 1025, 2048, 4095, 4096, 8191, 8192, 16383,
                               16384, 32768, 65536, 131073};
const char kSeparators[] = {'\0', '\t', '\n', '\r', '"', '\\', '%', ',', '=', ' ', '.', '@', '['};

size_t EdgeLength(GarbageRandom& random)
{
    size_t length = kEdgeLengths[random.Below(sizeof(kEdgeLengths) / sizeof(kEdgeLengths[0]))];
    return length + random.Below(3) - 1;
}

char AnyByte(GarbageRandom& random) { return (char)(random.Next() & 0xFF); }

void MutateOnce(std::string& s, GarbageRandom& random, size_t hugeLimit)
{
    switch (random.Below(11)) {
    case 0:   // bit flips
        for (size_t i = 0, n = 1 + random.Below(8); i < n && !s.empty(); i++)
            s[random.Below(s.size())] ^= (char)(1 << random.Below(8));
        break;
    case 1:   // truncation
        s.resize(random.Below(s.size() + 1));
        break;
    case 2: {   // a part cut out of the middle
        size_t at = random.Below(s.size() + 1);
        s.erase(at, random.Below(s.size() - at + 1));
        break;
    }
    case 3: {   // an overlong field: a run of one character around a buffer width
        char c = random.OneIn(2) ? 'A' : (random.OneIn(2) ? kSeparators[random.Below(sizeof(kSeparators))]
                                                         : AnyByte(random));
        s.insert(random.Below(s.size() + 1), EdgeLength(random), c);
        break;
    }
    case 4: {   // terminators and separators of one kind dropped
        char c = kSeparators[random.Below(sizeof(kSeparators))];
        std::string out;
        for (char ch : s)
            if (ch != c)
                out += ch;
        s.swap(out);
        if (!s.empty() && random.OneIn(2))
            s.pop_back();
        break;
    }
    case 5:   // NUL bytes in the middle
        for (size_t i = 0, n = 1 + random.Below(3); i < n; i++)
            s.insert(random.Below(s.size() + 1), 1, '\0');
        break;
    case 6:   // random bytes over a span
        for (size_t i = random.Below(s.size() + 1), n = random.Below(32); i < s.size() && n; i++, n--)
            s[i] = AnyByte(random);
        break;
    case 7: {   // a part repeated
        if (s.empty())
            break;
        size_t at = random.Below(s.size()), length = 1 + random.Below(s.size() - at);
        std::string part = s.substr(at, length);
        for (size_t i = 0, n = 1 + random.Below(64); i < n && s.size() < 300000; i++)
            s.insert(at, part);
        break;
    }
    case 8:   // separators where none belong
        for (size_t i = 0, n = 1 + random.Below(16); i < n; i++)
            s.insert(random.Below(s.size() + 1), 1, kSeparators[random.Below(sizeof(kSeparators))]);
        break;
    case 9:   // a byte with the high bit set (DBCS lead bytes, UTF-8 remnants)
        s.insert(random.Below(s.size() + 1), 1, (char)(0x80 | random.Below(128)));
        break;
    case 10:   // now and then a huge block
        if (random.OneIn(8) && hugeLimit) {
            size_t length = hugeLimit / 2 + random.Below(hugeLimit / 2 + 1);
            s.insert(random.Below(s.size() + 1), length, random.OneIn(2) ? 'x' : '\n');
        }
        break;
    }
}

}   // namespace

std::string MutateSample(const std::string& sample, GarbageRandom& random, size_t hugeLimit)
{
    std::string s = sample;
    for (size_t i = 0, n = 1 + random.Below(4); i < n; i++)
        MutateOnce(s, random, hugeLimit);
    return s;
}

std::string PickMutated(const std::vector<std::string>& samples, GarbageRandom& random,
                        size_t hugeLimit)
{
    const std::string& sample = samples[random.Below(samples.size())];
    return random.OneIn(8) ? sample : MutateSample(sample, random, hugeLimit);
}

GarbageValue MakeGarbageValue(const std::vector<std::string>& names,
                              const std::vector<std::string>& samples, GarbageRandom& random)
{
    static const DWORD kTypes[] = {REG_SZ, REG_SZ, REG_SZ, REG_EXPAND_SZ, REG_EXPAND_SZ,
                                   REG_MULTI_SZ, REG_BINARY, REG_DWORD, REG_QWORD, REG_NONE,
                                   REG_DWORD_BIG_ENDIAN, REG_LINK, 0x7FFF, 0xFFFF0001};
    GarbageValue value;
    switch (random.Below(8)) {
    case 0:
        value.name = "";   // the unnamed value
        break;
    case 1:
        value.name = MutateSample(names[random.Below(names.size())], random, 0);
        break;
    case 2:
        value.name = std::string(EdgeLength(random) % 16383, 'N');
        break;
    default:
        value.name = names[random.Below(names.size())];
        break;
    }
    // A value name ends at its first NUL whatever the caller meant.
    value.name.resize(strlen(value.name.c_str()));
    value.type = random.OneIn(3) ? kTypes[random.Below(sizeof(kTypes) / sizeof(kTypes[0]))] : REG_SZ;
    switch (random.Below(6)) {
    case 0:   // a few bytes, as a number or a stub
        value.data = std::string(random.Below(9), '\0');
        for (char& c : value.data)
            c = AnyByte(random);
        break;
    case 1:   // no terminator at all
        value.data = PickMutated(samples, random, 1 << 20);
        while (!value.data.empty() && value.data.back() == '\0')
            value.data.pop_back();
        break;
    default:
        value.data = PickMutated(samples, random, 1 << 20);
        if (random.OneIn(4))
            value.data += '\0';
        break;
    }
    return value;
}

int WriteGarbageValue(HKEY root, const std::string& path, const GarbageValue& value)
{
    RegKey key;
    if (!key.create(root, path.c_str()))
        return 0;
    return RegSetValueExA(key.get(), value.name.c_str(), 0, value.type,
                          (const BYTE*)value.data.data(), (DWORD)value.data.size()) ==
           ERROR_SUCCESS;
}

std::string RegistrySnapshot(HKEY root, const std::string& path)
{
    RegKey key;
    if (!key.open(root, path.c_str(), KEY_READ))
        return "<no key>";
    std::string out;
    std::vector<char> name(32768);
    std::vector<BYTE> data(1 << 16);
    for (DWORD index = 0;; index++) {
        DWORD nameLength = (DWORD)name.size(), size = (DWORD)data.size(), type = 0;
        LONG status = RegEnumValueA(key.get(), index, name.data(), &nameLength, nullptr, &type,
                                    data.data(), &size);
        if (status == ERROR_MORE_DATA) {
            data.resize(size + 1);
            index--;
            continue;
        }
        if (status != ERROR_SUCCESS)
            break;
        out += std::string(name.data(), nameLength) + "|" + std::to_string(type) + "|" +
               std::string((const char*)data.data(), size) + "\n";
    }
    for (DWORD index = 0;; index++) {
        DWORD nameLength = (DWORD)name.size();
        if (RegEnumKeyExA(key.get(), index, name.data(), &nameLength, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            break;
        std::string sub(name.data(), nameLength);
        out += "[" + sub + "]\n" + RegistrySnapshot(root, path + "\\" + sub);
    }
    return out;
}

std::string FileSnapshot(const std::string& path)
{
    Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr));
    if (!file)
        return "<missing>";
    std::string out;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got)
        out.append(buffer, got);
    return out;
}

namespace {

// What a crash, an abort or the hang watch prints: the case that was running.
char g_caseText[256];
volatile LONG g_caseNumber;
const DWORD kHangLimitMs = 180000;   // generous: two busy cores and Wine

void PrintCase(const char* what)
{
    fprintf(stderr, "\n*** %s in garbage case %s\n", what, g_caseText[0] ? g_caseText : "(none)");
    fflush(stderr);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info)
{
    char what[96];
    snprintf(what, sizeof(what), "exception 0x%08lX at %p",
             (unsigned long)info->ExceptionRecord->ExceptionCode,
             info->ExceptionRecord->ExceptionAddress);
    PrintCase(what);
    return EXCEPTION_EXECUTE_HANDLER;
}

void OnAbort(int) { PrintCase("abort (stack, buffer or iterator check)"); }

DWORD WINAPI HangWatch(void*)
{
    LONG seen = -1;
    DWORD since = GetTickCount();
    for (;;) {
        Sleep(1000);
        LONG now = g_caseNumber;
        if (now != seen) {
            seen = now;
            since = GetTickCount();
        } else if (g_caseText[0] && GetTickCount() - since > kHangLimitMs) {
            PrintCase("hang");
            ExitProcess(3);
        }
    }
}

void ArmGuards()
{
    static bool armed = false;
    if (armed)
        return;
    armed = true;
    SetUnhandledExceptionFilter(OnCrash);
    signal(SIGABRT, OnAbort);
    CloseHandle(CreateThread(nullptr, 0, HangWatch, nullptr, 0, nullptr));
}

uint64_t RunSeed()
{
    const char* text = getenv("KX_GARBAGE_SEED");
    return text && *text ? strtoull(text, nullptr, 0) : 0x4B45535452495831ULL;
}

uint64_t CaseSeed(const char* parser, int index)
{
    uint64_t h = RunSeed() ^ 0xCBF29CE484222325ULL;
    for (const char* p = parser; *p; p++)
        h = (h ^ (unsigned char)*p) * 0x100000001B3ULL;
    GarbageRandom mix(h + (uint64_t)index);
    return mix.Next();
}

}   // namespace

bool GarbageParserSelected(const char* parser)
{
    const char* text = getenv("KX_GARBAGE_PARSERS");
    if (!text || !*text)
        return true;
    std::string list = std::string(",") + text + ",";
    return list.find(std::string(",") + parser + ",") != std::string::npos;
}

int ForEachGarbageCase(const char* parser, int shortCount,
                       const std::function<void(GarbageRandom& random, int index)>& body)
{
    ArmGuards();
    int count = shortCount;
    if (const char* text = getenv("KX_GARBAGE_SCALE"))
        if (atof(text) > 0)
            count = (int)(shortCount * atof(text)) > 0 ? (int)(shortCount * atof(text)) : 1;
    // A replay runs the one case named, and nothing for the other parsers.
    uint64_t only = 0;
    bool replay = false;
    if (const char* text = getenv("KX_GARBAGE_REPLAY")) {
        const char* colon = strchr(text, ':');
        replay = true;
        if (colon && strncmp(text, parser, colon - text) == 0 && parser[colon - text] == 0)
            only = strtoull(colon + 1, nullptr, 0);
        else
            count = 0;
    }
    if (!GarbageParserSelected(parser))
        count = 0;
    int run = 0;
    DWORD began = GetTickCount();
    for (int index = 0; index < count; index++) {
        uint64_t seed = replay ? only : CaseSeed(parser, index);
        snprintf(g_caseText, sizeof(g_caseText), "%s #%d; replay: KX_GARBAGE_REPLAY=%s:0x%016llX",
                 parser, index, parser, (unsigned long long)seed);
        InterlockedIncrement(&g_caseNumber);
        GarbageRandom random(seed);
        body(random, index);
        run++;
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "failing garbage case " << g_caseText;
            break;
        }
        if (replay)
            break;
    }
    g_caseText[0] = 0;
    printf("[garbage] %s: %d cases in %lu ms\n", parser, run, (unsigned long)(GetTickCount() - began));
    return run;
}
