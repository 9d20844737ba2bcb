// Group Policy: the administrative template names exactly the options the programs let a
// policy set, each with the program's range, and a policy value wins over the user's option
// in the monitor (the manager's side is in explorer_options_test).
#include "kxtest.h"
#include "keys.h"
#include "monitorseams.h"
#include "options.h"
#include "policy.h"
#include "monitorseams.h"
#include "sounds.h"
#include <map>
#include <regex>
#include <set>

namespace {

std::string Attribute(const std::string& element, const char* name)
{
    std::smatch m;
    std::regex pattern(std::string("\\b") + name + "=\"([^\"]*)\"");
    return std::regex_search(element, m, pattern) ? m[1].str() : "";
}

struct TemplatePolicy {
    std::string key, valueName;
    std::vector<int> values;   // enabled/disabled values, or the decimal's minimum and maximum
    bool decimal = false;
};

std::vector<TemplatePolicy> ReadAdmx(const std::string& text)
{
    std::vector<TemplatePolicy> policies;
    std::regex policy("<policy [\\s\\S]*?</policy>");
    for (std::sregex_iterator it(text.begin(), text.end(), policy), end; it != end; ++it) {
        std::string body = it->str();
        TemplatePolicy p;
        p.key = Attribute(body.substr(0, body.find('>')), "key");
        p.valueName = Attribute(body.substr(0, body.find('>')), "valueName");
        std::smatch m;
        if (std::regex_search(body, m, std::regex("<decimal id=[^>]*>"))) {
            p.decimal = true;
            p.valueName = Attribute(m.str(), "valueName");
            p.values = {std::stoi(Attribute(m.str(), "minValue")),
                        std::stoi(Attribute(m.str(), "maxValue"))};
        }
        std::regex value("<(enabled|disabled)Value><decimal value=\"(\\d+)\"/>");
        for (std::sregex_iterator v(body.begin(), body.end(), value), vend; v != vend; ++v)
            p.values.push_back(std::stoi((*v)[2].str()));
        policies.push_back(p);
    }
    return policies;
}

std::set<std::string> References(const std::string& text, const char* kind)
{
    std::set<std::string> ids;
    std::regex pattern(std::string("\\$\\(") + kind + "\\.([A-Za-z0-9_]+)\\)");
    for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it)
        ids.insert((*it)[1].str());
    return ids;
}

TEST(PolicyTemplate, EveryPolicyNamesAnOptionTheProgramsReadWithItsRange)
{
    std::string admx = ReadTextFile(KX_SOURCE_DIR "/installer/policy/Kestrix.admx");
    std::string adml = ReadTextFile(KX_SOURCE_DIR "/installer/policy/en-US/Kestrix.adml");
    ASSERT_FALSE(admx.empty());
    ASSERT_FALSE(adml.empty());
    std::set<std::string> named;
    for (const TemplatePolicy& p : ReadAdmx(admx)) {
        SCOPED_TRACE(p.valueName);
        EXPECT_EQ(KX_POLICY_KEY, p.key);
        const PolicyOption* row = FindPolicyOption(p.valueName.c_str());
        ASSERT_NE(nullptr, row) << "the programs do not read this value";
        EXPECT_STREQ(row->name, p.valueName.c_str()) << "spelt as the programs spell it";
        ASSERT_EQ(2u, p.values.size());
        if (p.decimal)
            EXPECT_EQ((std::vector<int>{row->minimum, row->maximum}), p.values);
        else
            EXPECT_EQ((std::set<int>{row->minimum, row->maximum}),
                      std::set<int>(p.values.begin(), p.values.end()));
        EXPECT_TRUE(named.insert(p.valueName).second) << "named twice";
    }
    int count = 0;
    const PolicyOption* table = PolicyOptionTable(&count);
    for (int i = 0; i < count; i++)
        EXPECT_EQ(1u, named.count(table[i].name)) << table[i].name << " has no policy";

    // Every text the template refers to is in the language file.
    for (const char* kind : {"string", "presentation"})
        for (const std::string& id : References(admx, kind))
            EXPECT_NE(std::string::npos, adml.find("id=\"" + id + "\"")) << kind << " " << id;
}

const char* const kOptions = KX_OPTIONS_KEY;

class PolicyTest : public KxTest {};

TEST_F(PolicyTest, MachinePolicyWinsOverUserPolicyAndUserOption)
{
    WriteValueText(HKEY_CURRENT_USER, kOptions, "Start", "20");
    ReadAllOptions();
    EXPECT_EQ(20, g_options.Start);

    // A user policy, then a machine policy; text digits count as a number.
    WriteValueText(HKEY_CURRENT_USER, KX_POLICY_KEY, "Start", "7");
    ReadAllOptions();
    EXPECT_EQ(7, g_options.Start);
    EXPECT_EQ(7, g_countdowns.Start);
    DWORD five = 5;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, KX_POLICY_KEY, "Start", REG_DWORD, &five, sizeof(five));
    EXPECT_EQ(5, GetOption("Start", 2));

    // Out of range, of another type or not a plain number: no policy, the next one rules.
    for (const char* bad : {"100", "-1", "7a", "", "99999999999"}) {
        WriteValueText(HKEY_LOCAL_MACHINE, KX_POLICY_KEY, "Start", bad);
        EXPECT_EQ(7, GetOption("Start", 2)) << bad;
    }
    WriteValueText(HKEY_LOCAL_MACHINE, KX_POLICY_KEY, "Start", "30", REG_EXPAND_SZ);
    EXPECT_EQ(7, GetOption("Start", 2));
    WriteValueText(HKEY_LOCAL_MACHINE, KX_POLICY_KEY, "TrayIcon", "120");
    EXPECT_FALSE(IsPolicyManaged("TrayIcon"));
    WriteValueText(HKEY_LOCAL_MACHINE, KX_POLICY_KEY, "TrayIcon", "159");
    EXPECT_EQ(159, GetOption("TrayIcon", 101));
    // Only the options of the table can be managed.
    WriteValueText(HKEY_LOCAL_MACHINE, KX_POLICY_KEY, "Debug", "1");
    EXPECT_EQ(0, GetOption("Debug", 0));
}

TEST_F(PolicyTest, ManagedOptionKeepsTheUsersOwnValueWhenWritten)
{
    WriteValueText(HKEY_CURRENT_USER, kOptions, "Sound", "1");
    WriteValueText(HKEY_LOCAL_MACHINE, KX_POLICY_KEY, "Sound", "0");
    ReadAllOptions();
    EXPECT_EQ(0, g_options.Sound);
    WriteAllOptions();
    EXPECT_EQ("1", ReadValueText(HKEY_CURRENT_USER, kOptions, "Sound"));
    EXPECT_EQ(0, SetOption("Sound", 1));
    EXPECT_EQ(1, SetOption("History", 0));
    EXPECT_EQ("0", ReadValueText(HKEY_CURRENT_USER, kOptions, "History"));
}

int g_played;
BOOL CountSound(LPCSTR, HMODULE, DWORD)
{
    g_played++;
    return TRUE;
}

TEST_F(PolicyTest, MonitorStaysSilentWhenPolicyTurnsSoundsOffThoughTheUserWantsThem)
{
    SetSoundPlayerSeam(CountSound);
    g_played = 0;
    WriteValueText(HKEY_CURRENT_USER, kOptions, "Sound", "1");
    PlayAlertSound(SOUND_STARTUP);
    int withoutPolicy = g_played;
    WriteValueText(HKEY_CURRENT_USER, KX_POLICY_KEY, "Sound", "0");
    PlayAlertSound(SOUND_STARTUP);
    SetSoundPlayerSeam(nullptr);
    EXPECT_EQ(1, withoutPolicy);
    EXPECT_EQ(1, g_played);
}

}   // namespace
