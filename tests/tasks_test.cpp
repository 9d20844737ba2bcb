// Scheduled tasks against the real Task Scheduler 1.0: work items made through its COM
// interfaces are listed in batch order, read one by one and removed by name.
#include <mstask.h>
#include "kxtest.h"
#include "entrylist.h"
#include "taskactions.h"
#include "tasks.h"
#include "waits.h"
#include "watched_items.h"
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int kTasks = 7;

std::wstring TaskName(int i) { return L"KxTask" + std::to_wstring(i); }

class TasksTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        CoInitialize(nullptr);
        SetTaskItemWait(0);
        RemoveFiles();
        app_ = TestProgramFolder() + "\\kxfx_app.exe";
    }
    void TearDown() override
    {
        RemoveFiles();
        SetTaskItemWait(1000);
        ClearEntries();
        CoUninitialize();
        KxTest::TearDown();
    }

    static void RemoveFiles()
    {
        for (int i = 0; i < kTasks; i++)
            DeleteFileA(TaskJobPath(TaskName(i)).c_str());
    }
    bool MakeTask(int i, const wchar_t* comment = L"") { return MakeWorkItem(TaskName(i), app_, comment); }

    // Our items in the scheduler's own enumeration order, as the list titles them.
    static std::vector<std::string> EnumeratedOrder()
    {
        std::vector<std::string> names;
        ITaskScheduler* scheduler = nullptr;
        IEnumWorkItems* items = nullptr;
        if (FAILED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ITaskScheduler, (void**)&scheduler)))
            return names;
        if (SUCCEEDED(scheduler->Enum(&items))) {
            LPWSTR* batch = nullptr;
            ULONG fetched = 0;
            while (SUCCEEDED(items->Next(1, &batch, &fetched)) && fetched == 1) {
                char name[260];
                WideCharToMultiByte(CP_ACP, 0, batch[0], -1, name, sizeof(name), nullptr, nullptr);
                names.push_back(name);
                CoTaskMemFree(batch[0]);
                CoTaskMemFree(batch);
            }
            items->Release();
        }
        scheduler->Release();
        return names;
    }

    std::string app_;
};

TEST_F(TasksTest, ListHoldsEachBatchOfFiveFromLastToFirst)
{
    for (int i = 0; i < kTasks; i++)
        ASSERT_TRUE(MakeTask(i));
    ASSERT_EQ(0, EnsureScheduler());
    EXPECT_EQ(1, SchedulerRunning());
    std::vector<std::string> order = EnumeratedOrder();
    ASSERT_GE(order.size(), (size_t)kTasks);

    std::vector<std::string> expected;
    for (size_t batch = 0; batch < order.size(); batch += 5) {
        size_t end = std::min(order.size(), batch + 5);
        for (size_t i = end; i-- > batch;)
            expected.push_back(order[i]);
    }
    // The version-1 items, as the list holds them; tasks of the newer store (a prefix may hold
    // some, as `make run` leaves a sample) join it too and are not this test's matter.
    ListScheduledTasks();
    std::vector<const EntryRecord*> items;
    for (int i = 0; i < EntryCount(); i++)
        if (!(GetEntry(i)->tag & TASK_TAG_SERVICE))
            items.push_back(GetEntry(i));
    ASSERT_EQ(expected.size(), items.size());
    for (size_t i = 0; i < items.size(); i++) {
        EXPECT_EQ(expected[i], items[i]->title) << i;
        if (std::string(items[i]->title).rfind("KxTask", 0) != 0)
            continue;
        EXPECT_EQ(TASK_SCHEDULED, items[i]->type);
        EXPECT_STRCASEEQ(app_.c_str(), items[i]->command);
        EXPECT_STREQ("Never", items[i]->source);   // no trigger
        EXPECT_STREQ("Never", items[i]->detail);   // never ran
    }
}

TEST_F(TasksTest, SingleItemReadersAndRemovalMatchNamesCaseInsensitively)
{
    ASSERT_TRUE(MakeTask(1, L"Fixture comment"));
    ListScheduledTasks();
    ASSERT_GE(EntryCount(), 1);
    std::string title;
    for (int i = 0; i < EntryCount(); i++)
        if (std::string(GetEntry(i)->title).rfind("KxTask1", 0) == 0)
            title = GetEntry(i)->title;
    ASSERT_FALSE(title.empty());

    char text[256] = "sentinel";
    EXPECT_EQ(S_OK, TaskComment("kxtask1", text, sizeof(text)));
    EXPECT_STREQ("Fixture comment", text);
    strcpy(text, "sentinel");
    TaskNextRunTime(title.c_str(), text, sizeof(text));
    EXPECT_STREQ("Never", text);
    strcpy(text, "sentinel");
    EXPECT_EQ(0, TaskComment("KxNoSuchTask", text, sizeof(text)));
    EXPECT_STREQ("", text);

    std::string lower = title;
    CharLowerA(&lower[0]);
    EXPECT_EQ(S_OK, RemoveScheduledTask(lower.c_str()));
    ListScheduledTasks();
    for (int i = 0; i < EntryCount(); i++)
        EXPECT_NE(title, GetEntry(i)->title);
    EXPECT_EQ(S_FALSE, RemoveScheduledTask(title.c_str()));
}

// Names longer than a list title: listed by their beginning and removed by it, unless two
// items share that beginning, when neither is touched.
TEST_F(TasksTest, ALongNameIsListedAndRemovedByItsTitleButNeverAnother)
{
    const std::wstring stem = L"KxLong" + std::wstring(190, L'n');
    const std::wstring names[] = {stem + L"A", stem + L"B"};
    for (const std::wstring& name : names)
        DeleteFileA(TaskJobPath(name).c_str());
    ASSERT_TRUE(MakeWorkItem(names[0], app_));
    ListScheduledTasks();
    std::string title;
    for (int i = 0; i < EntryCount(); i++)
        if (std::string(GetEntry(i)->title).rfind("KxLong", 0) == 0)
            title = GetEntry(i)->title;
    EXPECT_EQ(std::string(127, 'n').replace(0, 6, "KxLong"), title);

    ASSERT_TRUE(MakeWorkItem(names[1], app_));
    EXPECT_EQ(TYPE_E_AMBIGUOUSNAME, RemoveScheduledTask(title.c_str()));
    for (const std::wstring& name : names)
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(TaskJobPath(name).c_str()));
    // The scheduler may still hold the file it just read: the delete is retried until it is gone.
    const std::string second = TaskJobPath(names[1]);
    ASSERT_TRUE(WaitUntil([&] {
        DeleteFileA(second.c_str());
        return GetFileAttributesA(second.c_str()) == INVALID_FILE_ATTRIBUTES;
    }));
    EXPECT_EQ(S_OK, RemoveScheduledTask(title.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(TaskJobPath(names[0]).c_str()));
}

TEST_F(TasksTest, AWorkItemThatCannotBeReadIsPassedOver)
{
    ASSERT_TRUE(MakeTask(2));
    const std::string broken = TaskJobPath(L"KxBrokenTask");
    ASSERT_TRUE(WriteTextFile(broken, "not a work item"));
    ListScheduledTasks();
    bool listed = false;
    for (int i = 0; i < EntryCount(); i++) {
        EXPECT_EQ(std::string::npos, std::string(GetEntry(i)->title).find("KxBrokenTask"));
        listed = listed || std::string(GetEntry(i)->title).rfind("KxTask2", 0) == 0;
    }
    EXPECT_TRUE(listed) << "the readable item beside it is still listed";
    EXPECT_TRUE(DeleteFileA(broken.c_str()));
}

TEST(RunTimeTextTest, TwelveHourClockAndTheEmptyTime)
{
    struct Case {
        WORD hour, minute;
        const char* text;
    } cases[] = {{0, 5, "03/07/2026  12:05 AM"}, {11, 59, "03/07/2026  11:59 AM"},
                 {12, 5, "03/07/2026  12:05 PM"}, {23, 0, "03/07/2026  11:00 PM"}};
    for (const Case& c : cases) {
        SYSTEMTIME time = {};
        time.wYear = 2026;
        time.wMonth = 3;
        time.wDay = 7;
        time.wHour = c.hour;
        time.wMinute = c.minute;
        char text[64];
        FormatRunTime(time, text, sizeof(text));
        EXPECT_STREQ(c.text, text);
    }
    SYSTEMTIME empty = {};
    empty.wHour = 9;
    char text[64];
    FormatRunTime(empty, text, sizeof(text));
    EXPECT_STREQ("Never", text);
}

}   // namespace
