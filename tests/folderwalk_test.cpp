#include "kxtest.h"
#include "entrylist.h"
#include "folderwalk.h"
#include "options.h"
#include <algorithm>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

class FolderWalkTest : public KxTest {
protected:
    void TearDown() override
    {
        SetWalkMode(WALK_STARTUP);
        KxTest::TearDown();
    }
};

static std::vector<std::string> g_visited;
static int g_stopAfter;

static int RecordStep(const char* path, const WIN32_FIND_DATAA*, int)
{
    g_visited.push_back(path);
    return g_stopAfter > 0 && (int)g_visited.size() >= g_stopAfter;
}

static std::string Entry(int i, std::string* command = nullptr, std::string* detail = nullptr)
{
    const EntryRecord* e = GetEntry(i);
    if (!e)
        return "<none>";
    if (command)
        *command = e->command;
    if (detail)
        *detail = e->detail;
    return e->title;
}

TEST_F(FolderWalkTest, SubfoldersAreWalkedFirstDownToTheDepth)
{
    CreateDirectoryA(TempPath("sub").c_str(), nullptr);
    CreateDirectoryA(TempPath("sub\\deeper").c_str(), nullptr);
    CreateDirectoryA(TempPath(".hidden").c_str(), nullptr);
    WriteTextFile(TempPath("top.txt"), "x");
    WriteTextFile(TempPath("sub\\mid.txt"), "x");
    WriteTextFile(TempPath("sub\\deeper\\low.txt"), "x");
    WriteTextFile(TempPath(".hidden\\skipped.txt"), "x");

    g_visited.clear();
    g_stopAfter = 0;
    EXPECT_EQ(0, WalkFolder(TempDir().c_str(), RecordStep, 0, 0));
    std::vector<std::string> shallow = g_visited;
    EXPECT_EQ(2u, shallow.size()) << "depth 0: the folder's own items only";

    g_visited.clear();
    WalkFolder((TempDir() + "\\").c_str(), RecordStep, 1, 0);
    auto subAt = std::find(g_visited.begin(), g_visited.end(), TempPath("sub"));
    ASSERT_NE(g_visited.end(), subAt);
    EXPECT_NE(g_visited.end(), std::find(g_visited.begin(), subAt, TempPath("sub\\mid.txt")))
        << "a subfolder's items come before the subfolder itself";
    EXPECT_EQ(g_visited.end(), std::find(g_visited.begin(), g_visited.end(),
                                         TempPath("sub\\deeper\\low.txt")));
    for (const auto& path : g_visited)
        EXPECT_EQ(std::string::npos, path.find(".hidden")) << path;
    EXPECT_EQ(4u, g_visited.size()) << "top.txt, sub, sub\\mid.txt, sub\\deeper";

    g_visited.clear();
    g_stopAfter = 1;
    EXPECT_EQ(1, WalkFolder(TempDir().c_str(), RecordStep, 2, 0));
    EXPECT_EQ(1u, g_visited.size()) << "a step that answers non-zero stops the whole walk";
    g_stopAfter = 0;
    EXPECT_EQ(0, WalkFolder(TempPath("no such folder").c_str(), RecordStep, 0, 0));
}

TEST_F(FolderWalkTest, CookieModeListsTextFilesUntilTheMaximum)
{
    WriteTextFile(TempPath("user@site.txt"), "cookie");
    WriteTextFile(TempPath("user@other.TXT"), "cookie");
    WriteTextFile(TempPath("index.dat"), "not a cookie");
    WriteTextFile(TempPath("system.txt"), "system");
    SetFileAttributesA(TempPath("system.txt").c_str(), FILE_ATTRIBUTE_SYSTEM);
    CreateDirectoryA(TempPath("folder.txt").c_str(), nullptr);

    ClearEntries();
    SetWalkMode(WALK_COOKIES);
    SetWalkFound(1);
    EXPECT_EQ(0, WalkFolder(TempDir().c_str(), spBuildProc, 0, 0));
    EXPECT_EQ(0, WalkFound()) << "cookie steps clear the found flag";
    ASSERT_EQ(2, EntryCount());
    for (int i = 0; i < 2; i++) {
        std::string command, detail;
        std::string title = Entry(i, &command, &detail);
        EXPECT_TRUE(title == "user@site.txt" || title == "user@other.TXT") << title;
        EXPECT_EQ(TempPath(title), command);
        EXPECT_TRUE(std::regex_match(detail, std::regex("\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d")))
            << detail;
        EXPECT_EQ(INFO_COOKIE, GetEntryType(i));
    }
    SetFileAttributesA(TempPath("system.txt").c_str(), FILE_ATTRIBUTE_NORMAL);

    // At the cookie maximum the add is refused and the walk stops.
    SetOption("MaxCookie", 1);
    g_options.MaxCookie = 1;
    ClearEntries();
    EXPECT_EQ(1, WalkFolder(TempDir().c_str(), spBuildProc, 0, 0));
    EXPECT_EQ(1, EntryCount());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(TempPath("user@site.txt").c_str()))
        << "the filter condemns nothing yet: cookies stay on disk";
}

TEST_F(FolderWalkTest, HiddenModeListsHiddenFilesWithTheirSystemMark)
{
    std::string app = TestProgramFolder() + "\\kxfx_app.exe";
    ASSERT_TRUE(CopyFileA(app.c_str(), TempPath("hidden.exe").c_str(), FALSE));
    WriteTextFile(TempPath("hidsys.dat"), "x");
    WriteTextFile(TempPath("visible.dat"), "x");
    CreateDirectoryA(TempPath("hiddenfolder").c_str(), nullptr);
    SetFileAttributesA(TempPath("hidden.exe").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA(TempPath("hidsys.dat").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    SetFileAttributesA(TempPath("hiddenfolder").c_str(),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);

    ClearEntries();
    SetWalkMode(WALK_HIDDEN);
    WalkFolder(TempDir().c_str(), spBuildProc, 0, 0);
    ASSERT_EQ(2, EntryCount());
    for (int i = 0; i < 2; i++) {
        const EntryRecord* e = GetEntry(i);
        EXPECT_EQ(TYPE_HIDDEN, e->type);
        EXPECT_STREQ(e->command, e->source);
        if (strstr(e->command, "hidden.exe")) {
            EXPECT_STREQ("Fixture App", e->title);
            EXPECT_EQ(1, e->tag) << "no system attribute";
        } else {
            EXPECT_STREQ("hidsys", e->title) << "no product name: the file name";
            EXPECT_EQ(0, e->tag);
        }
    }
    SetFileAttributesA(TempPath("hidden.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA(TempPath("hidsys.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FolderWalkTest, HiddenRootsReachOneLevelBelowTheTemporaryFolder)
{
    // The test folder sits directly in the temporary folder.
    CreateDirectoryA(TempPath("deeper").c_str(), nullptr);
    WriteTextFile(TempPath("kx-hidden-near.dat"), "x");
    WriteTextFile(TempPath("deeper\\kx-hidden-far.dat"), "x");
    SetFileAttributesA(TempPath("kx-hidden-near.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA(TempPath("deeper\\kx-hidden-far.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
    AddEntry("stale", "C:\\stale.exe", "", "", CURRENT_RUN, 0);

    int count = BuildHiddenFileList();
    EXPECT_EQ(count, EntryCount());
    bool nearFound = false, farFound = false, stale = false;
    for (int i = 0; i < count; i++) {
        const EntryRecord* e = GetEntry(i);
        nearFound |= strstr(e->command, "kx-hidden-near.dat") != nullptr;
        farFound |= strstr(e->command, "kx-hidden-far.dat") != nullptr;
        stale |= e->type != TYPE_HIDDEN;
    }
    EXPECT_TRUE(nearFound);
    EXPECT_FALSE(farFound) << "two levels below the temporary folder is out of reach";
    EXPECT_FALSE(stale) << "the list is cleared first";
    SetFileAttributesA(TempPath("kx-hidden-near.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA(TempPath("deeper\\kx-hidden-far.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
}
