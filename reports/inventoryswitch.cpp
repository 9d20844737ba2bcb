#include "inventoryswitch.h"
#include "handles.h"
#include "inventoryjson.h"
#include "reportfile.h"
#include <objbase.h>
#include <windows.h>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A file larger than this is no inventory of ours (thousands of entries make a few megabytes).
const DWORD INVENTORY_FILE_LIMIT = 64 * 1024 * 1024;

// The arguments after the switch: quoted, or up to the next blank; at most two.
std::vector<std::string> ArgumentsAfter(const char* commandLine, const char* name)
{
    std::vector<std::string> arguments;
    size_t n = strlen(name);
    const char* p = nullptr;
    for (const char* q = commandLine; *q; q++)
        if (_strnicmp(q, name, n) == 0 && (q[n] == 0 || q[n] == ' ' || q[n] == '\t')) {
            p = q + n;
            break;
        }
    if (!p)
        return arguments;
    while (arguments.size() < 2) {
        while (*p == ' ' || *p == '\t')
            p++;
        if (!*p || *p == '-')
            break;
        if (*p == '"') {
            const char* end = strchr(p + 1, '"');
            arguments.emplace_back(p + 1, end ? end : p + 1 + strlen(p + 1));
            p = end ? end + 1 : p + strlen(p);
        } else {
            const char* end = p;
            while (*end && *end != ' ' && *end != '\t')
                end++;
            arguments.emplace_back(p, end);
            p = end;
        }
    }
    return arguments;
}

int HasArgumentSwitch(const char* commandLine, const char* name)
{
    size_t n = strlen(name);
    for (const char* q = commandLine; *q; q++)
        if (_strnicmp(q, name, n) == 0 && (q[n] == 0 || q[n] == ' ' || q[n] == '\t') &&
            (q == commandLine || q[-1] == ' ' || q[-1] == '\t'))
            return 1;
    return 0;
}

// The program has no console of its own: output not redirected goes to the console of the
// command prompt that started it, if any. Never a window: a management tool may run it where
// nobody sees one, and only its exit code is read.
HANDLE StdHandle(DWORD which)
{
    HANDLE handle = GetStdHandle(which);
    if (handle && handle != INVALID_HANDLE_VALUE)
        return handle;
    static Handle console;
    static bool asked;
    if (!asked) {
        asked = true;
        if (AttachConsole(ATTACH_PARENT_PROCESS))
            console.reset(CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    }
    return console ? console.get() : nullptr;
}

void WriteStd(DWORD which, const std::string& text)
{
    HANDLE out = StdHandle(which);
    DWORD written = 0;
    if (out)
        WriteFile(out, text.data(), (DWORD)text.size(), &written, nullptr);
}

void Complain(const std::string& message) { WriteStd(STD_ERROR_HANDLE, message + "\r\n"); }

int ReadWholeFile(const std::string& path, std::string* text)
{
    Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 0;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > INVENTORY_FILE_LIMIT)
        return 0;
    text->resize((size_t)size.QuadPart);
    DWORD read = 0;
    return text->empty() ||
           (ReadFile(file.get(), &(*text)[0], (DWORD)text->size(), &read, nullptr) &&
            read == text->size());
}

int LoadInventory(const std::string& path, Inventory* inventory)
{
    std::string text, error;
    if (!ReadWholeFile(path, &text)) {
        Complain("Cannot read " + path + ".");
        return 0;
    }
    if (!ParseInventoryJson(text, inventory, &error)) {
        Complain(path + " is not a Kestrix inventory: " + error + ".");
        return 0;
    }
    return 1;
}

// The scheduled tasks are read through COM.
Inventory InventoryNow()
{
    HRESULT com = CoInitialize(nullptr);
    Inventory now = TakeInventory();
    if (SUCCEEDED(com))
        CoUninitialize();
    return now;
}

int WriteInventory(const std::string& path)
{
    HANDLE file = CreateReportFile(path.c_str());
    if (file == INVALID_HANDLE_VALUE || !FinishReportFile(file, InventoryJson(InventoryNow()))) {
        Complain("Cannot write " + path + ".");
        return COMPARE_ERROR;
    }
    return 0;
}

int Compare(const std::vector<std::string>& paths)
{
    Inventory before, after;
    if (!LoadInventory(paths[0], &before))
        return COMPARE_ERROR;
    if (paths.size() > 1) {
        if (!LoadInventory(paths[1], &after))
            return COMPARE_ERROR;
    } else {
        after = InventoryNow();
    }
    std::vector<std::string> lines = CompareInventories(before, after);
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    WriteStd(STD_OUTPUT_HANDLE, text);
    return lines.empty() ? COMPARE_SAME : COMPARE_CHANGED;
}

}   // namespace

int RunInventorySwitch(const char* commandLine, int* exitCode)
{
    if (!commandLine)
        return 0;
    int inventory = HasArgumentSwitch(commandLine, "-Inventory");
    int compare = HasArgumentSwitch(commandLine, "-Compare");
    if (!inventory && !compare)
        return 0;
    std::vector<std::string> paths =
        ArgumentsAfter(commandLine, inventory ? "-Inventory" : "-Compare");
    if (paths.empty()) {
        Complain(inventory ? "-Inventory needs the path of the JSON file to write."
                           : "-Compare needs the path of an inventory written by -Inventory.");
        *exitCode = COMPARE_ERROR;
        return 1;
    }
    *exitCode = inventory ? WriteInventory(paths[0]) : Compare(paths);
    return 1;
}
