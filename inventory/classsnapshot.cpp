#include "classsnapshot.h"
#include "datafolder.h"
#include "handles.h"
#include "wholefile.h"
#include "writefault.h"
#include <windows.h>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char kFileName[] = "filetypes.txt";

struct Record {
    std::string extension, className, command;
};

// A line per extension, its three fields apart by tabs. A field may hold anything a
// registry value may: tabs, line ends and "%" are written as "%09", "%0A", "%0D", "%25".
std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '%' || c == '\t' || c == '\r' || c == '\n') {
            char code[4];
            wsprintfA(code, "%%%02X", (unsigned char)c);
            out += code;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Unescaped(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '%' && i + 2 < text.size() && isxdigit((unsigned char)text[i + 1]) &&
            isxdigit((unsigned char)text[i + 2])) {
            out += (char)strtoul(text.substr(i + 1, 2).c_str(), nullptr, 16);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<Record> ReadRecords(const std::string& path)
{
    std::vector<Record> records;
    std::string text;
    if (!ReadWholeFile(path.c_str(), &text))
        return records;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t first = line.find('\t');
        size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
        if (second == std::string::npos)
            continue;   // not a line this file is written with
        Record record{Unescaped(line.substr(0, first)),
                      Unescaped(line.substr(first + 1, second - first - 1)),
                      Unescaped(line.substr(second + 1))};
        if (!record.extension.empty() && !record.className.empty())
            records.push_back(record);
    }
    return records;
}

// The whole file anew beside the old one, then put in its place: a failed write leaves the
// old records as they were.
int WriteRecords(const std::string& path, const std::vector<Record>& records)
{
    std::string text;
    for (const Record& r : records)
        text += Escaped(r.extension) + "\t" + Escaped(r.className) + "\t" + Escaped(r.command) + "\r\n";
    std::string fresh = path + ".new";
    if (FileWriteFails(fresh.c_str())) {
        NoteWriteRefusal(GetLastError());
        return 0;
    }
    {
        Handle out(CreateFileA(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        if (!out || !WriteFile(out.get(), text.data(), (DWORD)text.size(), &written, nullptr) ||
            written != text.size()) {
            DWORD error = out ? ERROR_WRITE_FAULT : GetLastError();
            out.reset();
            DeleteFileA(fresh.c_str());
            NoteWriteRefusal(error);
            return 0;
        }
    }
    if (FileMoveFails(fresh.c_str(), path.c_str()) ||
        !MoveFileExA(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        NoteWriteRefusal(GetLastError());
        DeleteFileA(fresh.c_str());
        return 0;
    }
    return 1;
}

std::string SnapshotFile(bool make)
{
    char path[MAX_PATH + 32] = "";
    if (make)
        MachineDataPath(kFileName, path, sizeof(path));
    else if (MachineDataFolderName(path, sizeof(path)))
        lstrcatA(path, "\\filetypes.txt");
    return path;
}

}   // namespace

int ReadClassSnapshot(const char* extensionWithDot, std::string* className, std::string* command)
{
    className->clear();
    command->clear();
    std::string path = SnapshotFile(false);
    if (path.empty())
        return 0;
    for (const Record& r : ReadRecords(path)) {
        if (lstrcmpiA(r.extension.c_str(), extensionWithDot) == 0) {
            *className = r.className;
            *command = r.command;
            return 1;
        }
    }
    return 0;
}

int WriteClassSnapshot(const char* extensionWithDot, const std::string& className,
                       const std::string& command)
{
    std::string path = SnapshotFile(true);
    if (path.empty()) {
        NoteWriteRefusal(GetLastError());
        return 0;
    }
    std::vector<Record> records = ReadRecords(path);
    bool found = false;
    for (Record& r : records) {
        if (lstrcmpiA(r.extension.c_str(), extensionWithDot) == 0) {
            if (r.className == className && r.command == command)
                return 1;
            r.className = className;
            r.command = command;
            found = true;
        }
    }
    if (!found)
        records.push_back({extensionWithDot, className, command});
    return WriteRecords(path, records);
}

int ForgetClassSnapshot(const char* extensionWithDot)
{
    std::string path = SnapshotFile(false);
    std::vector<Record> records = path.empty() ? std::vector<Record>() : ReadRecords(path);
    std::vector<Record> kept;
    for (const Record& r : records)
        if (lstrcmpiA(r.extension.c_str(), extensionWithDot) != 0)
            kept.push_back(r);
    return kept.size() == records.size() || WriteRecords(path, kept);
}
