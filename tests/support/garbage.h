// Seeded garbage for the parsers of outside data: real samples, mutated. Every case has a
// seed of its own, derived from the run's seed, the parser's name and the case number, so a
// failing case replays alone (KX_GARBAGE_REPLAY=<parser>:<seed>).
//
// KX_GARBAGE_SEED   the run's seed (default fixed, so CI runs the same cases every time)
// KX_GARBAGE_SCALE  the long run (make fuzz): each parser runs this many times its short count
// KX_GARBAGE_REPLAY one case of one parser only
// KX_GARBAGE_PARSERS only these parsers (comma list), to split a long run
#pragma once
#include <windows.h>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct GarbageRandom {
    explicit GarbageRandom(uint64_t seed) : state(seed) {}
    uint64_t Next();
    size_t Below(size_t n);   // 0 when n is 0
    bool OneIn(size_t n) { return Below(n) == 0; }
    uint64_t state;
};

// One to four mutations of a sample: bit flips, cuts, overlong runs (around the field widths
// the programs use), dropped terminators and separators, NUL bytes in the middle, random
// bytes, repeated parts, and now and then a huge block of up to hugeLimit bytes.
std::string MutateSample(const std::string& sample, GarbageRandom& random, size_t hugeLimit);
// One of the samples, mutated or (one time in eight) as it is.
std::string PickMutated(const std::vector<std::string>& samples, GarbageRandom& random,
                        size_t hugeLimit);

// A registry value of any type and length: a name from names (or a mutated one, the unnamed
// value, or one of thousands of characters) and data made from a sample, with or without
// its terminator, of a type that may not be the one its reader expects.
struct GarbageValue {
    std::string name;
    DWORD type;
    std::string data;
};
GarbageValue MakeGarbageValue(const std::vector<std::string>& names,
                              const std::vector<std::string>& samples, GarbageRandom& random);
// Writes it (creating the key); 1 when the registry took it.
int WriteGarbageValue(HKEY root, const std::string& path, const GarbageValue& value);

// Every value of a key and its subkeys, as bytes, for "nothing was removed or rewritten".
std::string RegistrySnapshot(HKEY root, const std::string& path);
// A file's bytes; "<missing>" when it cannot be read.
std::string FileSnapshot(const std::string& path);

// Runs body once per case of the parser (the short count, times KX_GARBAGE_SCALE) with the
// case's generator; stops at the first case with a failure and names its seed. A crash, an
// abort (stack or buffer check) or a case running longer than the hang limit prints the
// parser, case and seed before the process ends. The number of cases run.
int ForEachGarbageCase(const char* parser, int shortCount,
                       const std::function<void(GarbageRandom& random, int index)>& body);
// False when KX_GARBAGE_PARSERS leaves the parser out.
bool GarbageParserSelected(const char* parser);
