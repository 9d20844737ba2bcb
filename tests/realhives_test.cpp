// The startup inventory and the baseline run against Run keys exported from real users'
// machines (REGEDIT4 files kept beside the project in shared/testdata/real-hives).
#include "kxtest.h"
#include "baseline.h"
#include "entrylist.h"
#include "findrun.h"
#include "keys.h"
#include "knownlist.h"
#include "pathutil.h"
#include "realhives.h"
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

const char* const kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kUserRunOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

struct RegValue {
    std::string key, name, data;
    DWORD type;
};

// The string values (plain and hex(2)) of the HKCU Run and RunOnce sections of a REGEDIT4 file.
std::vector<RegValue> ReadRunSections(const std::string& path)
{
    std::vector<RegValue> values;
    std::ifstream in(path);
    std::string line, key;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("[", 0) == 0) {
            key = line.substr(1, line.size() - 2);
            continue;
        }
        const std::string prefix = "HKEY_CURRENT_USER\\";
        if (key != prefix + kUserRun && key != prefix + kUserRunOnce)
            continue;
        if (line.size() < 2 || line[0] != '"')
            continue;
        size_t nameEnd = line.find("\"=", 1);
        if (nameEnd == std::string::npos)
            continue;
        RegValue v{key.substr(prefix.size()), RegFileUnescape(line.substr(1, nameEnd - 1)), "", REG_SZ};
        std::string rest = line.substr(nameEnd + 2);
        if (rest.rfind("\"", 0) == 0) {
            v.data = RegFileUnescape(rest.substr(1, rest.size() - 2));
        } else if (rest.rfind("hex(2):", 0) == 0) {
            v.type = REG_EXPAND_SZ;
            for (size_t i = 7; i + 1 < rest.size(); i += 3) {
                char byte = (char)strtol(rest.substr(i, 2).c_str(), nullptr, 16);
                if (byte)
                    v.data += byte;
            }
        } else {
            continue;
        }
        values.push_back(v);
    }
    return values;
}

}   // namespace

class RealHivesTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        ForgetKey(HKEY_CURRENT_USER, kUserRun);
        ForgetKey(HKEY_CURRENT_USER, kUserRunOnce);
    }

    // Imports one file's Run sections; the values the inventory must list.
    std::vector<RegValue> Import(const std::string& file)
    {
        std::vector<RegValue> values = ReadRunSections(RealHivesFolder() + "\\" + file);
        std::vector<RegValue> listed;
        for (const RegValue& v : values) {
            WriteValueText(HKEY_CURRENT_USER, v.key, v.name, v.data, v.type);
            if (v.name.size() > 1 && v.data.size() > 4 && (unsigned char)v.name[0] < 128)
                listed.push_back(v);
        }
        return listed;
    }

    static int CodeOf(const RegValue& v) { return v.key == kUserRun ? CURRENT_RUN : CURRENT_RUNONCE; }
};

TEST_F(RealHivesTest, EveryUserRunValueIsListedWithItsCommandAndCode)
{
    KX_REQUIRE_REAL_HIVES(folder);
    int files = 0;
    size_t listed = 0;
    for (const char* file : {"plaso_NTUSER-RunTests.reg", "plaso_NTUSER-WIN7.reg",
                             "plaso_NTUSER.reg", "regipy_NTUSER.reg"}) {
        SCOPED_TRACE(file);
        DeleteKeyTree(HKEY_CURRENT_USER, kUserRun);
        DeleteKeyTree(HKEY_CURRENT_USER, kUserRunOnce);
        std::vector<RegValue> expected = Import(file);
        files++;
        listed += expected.size();

        BuildStartupList(0);
        for (const RegValue& v : expected) {
            char command[260];
            std::string stored = v.data;
            // Quotes go; a RUNDLL32 line is listed by what it loads.
            SplitRundll32(v.data.c_str(), command, sizeof(command));
            std::string bare;
            for (char c : std::string(command))
                if (c != '"')
                    bare += c;
            bool found = false;
            for (int i = 0; i < EntryCount(); i++) {
                const EntryRecord* r = GetEntry(i);
                if (r->type == CodeOf(v) && v.name.compare(0, 127, r->title) == 0) {
                    found = true;
                    EXPECT_STRCASEEQ(bare.substr(0, 259).c_str(), r->command) << v.name;
                }
            }
            EXPECT_TRUE(found) << v.name << " = " << v.data;
        }
    }
    EXPECT_EQ(4, files);
    EXPECT_GE(listed, 5u);
}

TEST_F(RealHivesTest, BaselineKnowsEveryListedEntryAfterInitialValues)
{
    KX_REQUIRE_REAL_HIVES(folder);
    std::vector<RegValue> expected = Import("plaso_NTUSER-WIN7.reg");
    ASSERT_FALSE(expected.empty());
    InitRegStartups();
    int count = BuildStartupList(0);
    for (int i = 0; i < count; i++) {
        const EntryRecord* r = GetEntry(i);
        if (r->type != CURRENT_RUN && r->type != CURRENT_RUNONCE)
            continue;
        char name[260];
        StartupKeyName(r->command, name);
        EXPECT_EQ(std::to_string(r->type), ReadValueText(HKEY_CURRENT_USER, KX_KEY "\\Run", name))
            << r->title;
    }
}
