// Tasks of the Task Scheduler 2.0 against Wine's task service: a task registered through
// ITaskService in a subfolder is listed with its fields beside the version 1 work items, once
// even when the root folder holds the same task, and is switched off, on and removed.
#include "kxtest.h"
#include "entrylist.h"
#include "service_tasks.h"
#include "taskactions.h"
#include "tasks.h"
#include "taskservice.h"
#include "watched_items.h"
#include <string>
#include <vector>

namespace {

const wchar_t kFolder[] = L"KxTsTest\\Inner";
const wchar_t kTask[] = L"KxLogonTask";
const char kPath[] = "\\KxTsTest\\Inner\\KxLogonTask";
const wchar_t kTwin[] = L"KxTwinTask";

class ServiceTasksTest : public KxTest {
protected:
    void SetUp() override
    {
        KxTest::SetUp();
        CoInitialize(nullptr);
        SetTaskItemWait(0);
        RemoveAll();
        app_ = TestProgramFolder() + "\\kxfx_app.exe";
    }
    void TearDown() override
    {
        RemoveAll();
        SetTaskItemWait(1000);
        ClearEntries();
        CoUninitialize();
        KxTest::TearDown();
    }
    static void RemoveAll()
    {
        RemoveServiceTask(kFolder, kTask);
        RemoveServiceTask(L"", kTwin);
        DeleteFileA(TaskJobPath(kTwin).c_str());
    }
    bool RegisterLogonTask()
    {
        return RegisterServiceTask(
            kFolder, kTask, LogonTaskXml(app_, "-x \"y z\"", "Kx Author", "Fixture logon task"));
    }
    static const EntryRecord* Listed(const std::string& title)
    {
        for (int i = 0; i < EntryCount(); i++)
            if (lstrcmpiA(GetEntry(i)->title, title.c_str()) == 0)
                return GetEntry(i);
        return nullptr;
    }
    static int ListedWithPrefix(const std::string& prefix)
    {
        int count = 0;
        for (int i = 0; i < EntryCount(); i++)
            count += std::string(GetEntry(i)->title).rfind(prefix, 0) == 0;
        return count;
    }

    std::string app_;
};

// Wine's service keeps a registered task's name, path, state, author and description but
// drops its triggers and actions, and cannot tell a next run time: those are read through the
// same calls on Windows and show as none here.
TEST_F(ServiceTasksTest, ASubfolderTaskIsListedWithItsFieldsAfterTheWorkItemsAndOnlyOnce)
{
    ASSERT_TRUE(RegisterLogonTask());
    ASSERT_TRUE(MakeWorkItem(kTwin, app_));
    ASSERT_TRUE(RegisterServiceTask(L"", kTwin, LogonTaskXml(app_, "", "Kx Author", "")));

    std::vector<ServiceTask> tasks;
    ASSERT_GE(ListServiceTasks(tasks), 2);
    const ServiceTask* found = nullptr;
    for (const ServiceTask& task : tasks)
        if (lstrcmpiA(task.path, kPath) == 0)
            found = &task;
    ASSERT_NE(nullptr, found);
    EXPECT_STREQ("KxLogonTask", found->name);
    EXPECT_EQ(1, found->enabled);
    EXPECT_STREQ("Kx Author", found->author);
    EXPECT_STREQ("Fixture logon task", found->description);

    int count = ListScheduledTasks();
    ASSERT_EQ(count, EntryCount());
    // The root task and the work item of one name are one entry: the work item's.
    EXPECT_EQ(1, ListedWithPrefix("KxTwinTask"));
    EXPECT_EQ(nullptr, Listed("\\KxTwinTask"));
    const EntryRecord* entry = Listed(kPath);
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(TASK_SCHEDULED, entry->type);
    EXPECT_EQ(TASK_TAG_SERVICE, entry->tag & (TASK_TAG_SERVICE | TASK_TAG_DISABLED));
    EXPECT_STREQ("Never", entry->source);
    EXPECT_STREQ("Never", entry->detail);
    EXPECT_EQ(0, GetEntry(0)->tag) << "work items come first";

    char text[1024] = "sentinel";
    EXPECT_EQ(S_OK, TaskComment("\\kxtstest\\inner\\KXLOGONTASK", text, sizeof(text)));
    std::string comment = text;
    EXPECT_EQ(0u, comment.find("Fixture logon task\r\n")) << comment;
    EXPECT_NE(std::string::npos, comment.find("\r\nAuthor: Kx Author")) << comment;
    strcpy(text, "sentinel");
    EXPECT_EQ(S_OK, TaskNextRunTime(kPath, text, sizeof(text)));
    EXPECT_STREQ("Never", text);
    strcpy(text, "sentinel");
    EXPECT_EQ(0, TaskComment("\\KxTsTest\\NoSuchTask", text, sizeof(text)));
    EXPECT_STREQ("", text);
}

TEST_F(ServiceTasksTest, ATaskIsSwitchedOffAndOnAndRemovedByItsPathInAnyCase)
{
    ASSERT_TRUE(RegisterLogonTask());
    ASSERT_EQ(S_OK, SetScheduledTaskEnabled(kPath, 0));
    ListScheduledTasks();
    ASSERT_NE(nullptr, Listed(kPath));
    EXPECT_TRUE(Listed(kPath)->tag & TASK_TAG_DISABLED);
    ServiceTask task;
    ASSERT_EQ(S_OK, ReadServiceTask(kPath, &task));
    EXPECT_EQ(0, task.enabled);
    EXPECT_STREQ("Kx Author", task.author) << "switching keeps the rest of the task";

    ASSERT_EQ(S_OK, SetScheduledTaskEnabled(kPath, 1));
    ASSERT_EQ(S_OK, ReadServiceTask(kPath, &task));
    EXPECT_EQ(1, task.enabled);

    EXPECT_EQ(S_OK, RemoveScheduledTask("\\kxtstest\\inner\\kxlogontask"));
    EXPECT_EQ(S_FALSE, ReadServiceTask(kPath, &task));
    ListScheduledTasks();
    EXPECT_EQ(nullptr, Listed(kPath));
    EXPECT_EQ(S_FALSE, RemoveScheduledTask(kPath));
    EXPECT_EQ(S_FALSE, SetScheduledTaskEnabled(kPath, 0));
    EXPECT_EQ(E_NOTIMPL, SetScheduledTaskEnabled("KxTwinTask.job", 0));
}

// A path longer than a list title (and one longer than the path field) is listed by its
// beginning, switched and removed by it; a beginning two tasks share acts on neither.
TEST_F(ServiceTasksTest, ALongPathIsListedSwitchedAndRemovedByItsTitleButNeverAnother)
{
    for (size_t length : {150u, 250u}) {
        const std::wstring name = L"KxLong" + std::wstring(length - 7, L'n') + L"A";
        const std::wstring twin = L"KxLong" + std::wstring(length - 7, L'n') + L"B";
        RemoveServiceTask(kFolder, name);
        RemoveServiceTask(kFolder, twin);
        ASSERT_TRUE(RegisterServiceTask(kFolder, name, LogonTaskXml(app_, "", "Kx", ""))) << length;
        ListScheduledTasks();
        const std::string title = "\\KxTsTest\\Inner\\KxLong" + std::string(127 - 22, 'n');
        ASSERT_NE(nullptr, Listed(title)) << length;
        EXPECT_EQ(S_OK, SetScheduledTaskEnabled(title.c_str(), 0)) << length;
        ServiceTask task;
        ASSERT_EQ(S_OK, ReadServiceTask(title.c_str(), &task));
        EXPECT_EQ(0, task.enabled);

        ASSERT_TRUE(RegisterServiceTask(kFolder, twin, LogonTaskXml(app_, "", "Kx", "")));
        EXPECT_EQ(TYPE_E_AMBIGUOUSNAME, RemoveScheduledTask(title.c_str())) << length;
        EXPECT_EQ(TYPE_E_AMBIGUOUSNAME, SetScheduledTaskEnabled(title.c_str(), 1)) << length;
        RemoveServiceTask(kFolder, twin);
        EXPECT_EQ(S_OK, RemoveScheduledTask(title.c_str())) << length;
        EXPECT_EQ(S_FALSE, ReadServiceTask(title.c_str(), &task));
        RemoveServiceTask(kFolder, name);
    }
}

TEST(ServiceTaskTextTest, TwinsAndCommandLines)
{
    struct Twin {
        const char* path;
        const char* v1Title;
        bool twin;
    } twins[] = {
        {"\\Backup", "Backup.job", true},   {"\\backup", "BACKUP", true},
        {"\\Backup", "Backup.jobs", false}, {"\\Folder\\Backup", "Backup.job", false},
        {"\\Backup", "Backup2.job", false}, {"Backup", "Backup.job", false},
    };
    for (const Twin& t : twins)
        EXPECT_EQ(t.twin, IsVersion1Twin(t.path, t.v1Title)) << t.path << " " << t.v1Title;

    struct Line {
        const char* program;
        const char* arguments;
        const char* line;
    } lines[] = {
        {"C:\\kx\\a.exe", "", "C:\\kx\\a.exe"},
        {"C:\\kx\\a.exe", "-x 1", "C:\\kx\\a.exe -x 1"},
        {"C:\\Program Files\\a.exe", "-x", "\"C:\\Program Files\\a.exe\" -x"},
        {"\"C:\\Program Files\\a.exe\"", "", "\"C:\\Program Files\\a.exe\""},
        {"", "", ""},
    };
    for (const Line& l : lines) {
        TaskExec exec = {};
        lstrcpynA(exec.program, l.program, sizeof(exec.program));
        lstrcpynA(exec.arguments, l.arguments, sizeof(exec.arguments));
        char out[600];
        ActionCommandLine(exec, out, sizeof(out));
        EXPECT_STREQ(l.line, out);
    }
}

}   // namespace
