#include "service_tasks.h"
#include "handles.h"
#include <taskschd.h>

namespace {

std::wstring Escaped(const std::string& text)
{
    std::wstring out;
    for (char c : text) {
        switch (c) {
        case '&': out += L"&amp;"; break;
        case '<': out += L"&lt;"; break;
        case '>': out += L"&gt;"; break;
        case '"': out += L"&quot;"; break;
        default: out += (wchar_t)(unsigned char)c;
        }
    }
    return out;
}

bool Root(ComPtr<ITaskService>& service, ComPtr<ITaskFolder>& root)
{
    Variant none;
    Bstr rootPath(L"\\");
    return SUCCEEDED(CoCreateInstance(__uuidof(TaskScheduler), nullptr, CLSCTX_INPROC_SERVER,
                                      __uuidof(ITaskService), service.outVoid())) &&
           SUCCEEDED(service->Connect(none.get(), none.get(), none.get(), none.get())) &&
           SUCCEEDED(service->GetFolder(rootPath.get(), root.out()));
}

}   // namespace

std::wstring LogonTaskXml(const std::string& program, const std::string& arguments,
                          const std::string& author, const std::string& description)
{
    return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
           L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
           L"  <RegistrationInfo><Author>" + Escaped(author) + L"</Author><Description>" +
           Escaped(description) + L"</Description></RegistrationInfo>\n"
           L"  <Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>\n"
           L"  <Settings><Enabled>true</Enabled></Settings>\n"
           L"  <Actions Context=\"Author\"><Exec><Command>" + Escaped(program) +
           L"</Command><Arguments>" + Escaped(arguments) + L"</Arguments></Exec></Actions>\n"
           L"</Task>\n";
}

bool RegisterServiceTask(const std::wstring& folder, const std::wstring& name,
                         const std::wstring& xml)
{
    ComPtr<ITaskService> service;
    ComPtr<ITaskFolder> root, sub;
    if (!Root(service, root))
        return false;
    if (!folder.empty()) {
        Bstr path(folder.c_str());
        Variant none;
        if (FAILED(root->GetFolder(path.get(), sub.out())))
            root->CreateFolder(path.get(), none.get(), sub.out());
        if (!sub)
            return false;
    }
    ITaskFolder* target = folder.empty() ? root.get() : sub.get();
    Bstr taskName(name.c_str()), text(xml.c_str());
    Variant none;
    ComPtr<IRegisteredTask> task;
    return SUCCEEDED(target->RegisterTask(taskName.get(), text.get(), TASK_CREATE_OR_UPDATE,
                                          none.get(), none.get(), TASK_LOGON_INTERACTIVE_TOKEN,
                                          none.get(), task.out()));
}

void RemoveServiceTask(const std::wstring& folder, const std::wstring& name)
{
    ComPtr<ITaskService> service;
    ComPtr<ITaskFolder> root;
    if (!Root(service, root))
        return;
    Bstr taskPath((folder.empty() ? name : folder + L"\\" + name).c_str());
    root->DeleteTask(taskPath.get(), 0);
    for (std::wstring path = folder; !path.empty();) {
        Bstr folderPath(path.c_str());
        root->DeleteFolder(folderPath.get(), 0);
        size_t cut = path.rfind(L'\\');
        path = cut == std::wstring::npos ? L"" : path.substr(0, cut);
    }
}
