// Real users' registry data (REGEDIT4 exports kept beside the project in
// shared/testdata/real-hives; see README) and the bits of its file format the suites read.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>

// The Windows path of the real-hive folder, or "" when it is not there.
std::string RealHivesFolder();

// Whether the suite runs in CI (CI=true), where data that is missing is a failure, not a skip.
bool RunningInCi();

// The text of a REGEDIT4 quoted string without its escapes (\\ and \").
std::string RegFileUnescape(const std::string& quoted);

// One value of a REGEDIT4 file, its data as the registry keeps it (text with its zero).
struct RegFileValue {
    std::string key, name;
    DWORD type;
    std::string data;
};
// The text, hex(2), hex(7), hex and dword values of the keys of a REGEDIT4 file at or below
// under (as the file spells it, without brackets).
std::vector<RegFileValue> ReadRegFileValues(const std::string& path, const std::string& under);

// In a test: the real-hive folder into folder, or the test ends: skipped on a developer's
// machine without the data, failed in CI, where the data always comes with the clone.
#define KX_REQUIRE_REAL_HIVES(folder)                                                   \
    std::string folder = RealHivesFolder();                                             \
    if (folder.empty()) {                                                               \
        if (RunningInCi())                                                              \
            FAIL() << "CI has no real-hive data beside the project (shared/testdata)";  \
        GTEST_SKIP() << "no real-hive data beside the project";                        \
    }
