// Tasks of the Task Scheduler 2.0 for the suites that list and watch them: registered through
// ITaskService from task XML, and removed again with their folders.
#pragma once
#include <string>

// Task XML with a logon trigger and one exec action (program with arguments), and an author.
std::wstring LogonTaskXml(const std::string& program, const std::string& arguments,
                          const std::string& author, const std::string& description);
// Registers the task name in folder ("" for the root, nested folders with "\"), creating the
// folders; true when the service registered it.
bool RegisterServiceTask(const std::wstring& folder, const std::wstring& name,
                         const std::wstring& xml);
// Deletes the task and then its folders, innermost first, when they exist. Never fails: the
// fixtures call it before and after every test, passed or not.
void RemoveServiceTask(const std::wstring& folder, const std::wstring& name);
