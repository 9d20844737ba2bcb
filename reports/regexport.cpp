#include "regexport.h"
#include "handles.h"
#include "program.h"
#include "registry.h"
#include "reportfile.h"
#include "resstring.h"
#include "sysmessage.h"
#include "textutil.h"
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* HiveName(HKEY root)
{
    if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    if (root == HKEY_USERS) return "HKEY_USERS";
    if (root == HKEY_CURRENT_CONFIG) return "HKEY_CURRENT_CONFIG";
    return "HKEY_LOCAL_MACHINE";
}

// A name or string as regedit reads it between double quotes.
std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// "hex(n):" and the bytes, broken into continued lines the way regedit writes them.
std::string HexData(const std::string& prefix, const BYTE* data, DWORD size)
{
    std::string out = prefix;
    size_t lineLength = out.size();
    char byte[4];
    for (DWORD i = 0; i < size; i++) {
        snprintf(byte, sizeof(byte), "%02x", data[i]);
        out += byte;
        lineLength += 2;
        if (i + 1 < size) {
            out += ',';
            if (++lineLength > 76) {
                out += "\\\r\n  ";
                lineLength = 2;
            }
        }
    }
    return out;
}

// A string value goes out quoted when regedit reads it back unchanged that way: it ends at
// its terminator and holds no line break.
bool PlainString(const BYTE* data, DWORD size)
{
    if (size == 0)
        return true;
    if (data[size - 1] != 0)
        return false;
    for (DWORD i = 0; i + 1 < size; i++)
        if (data[i] == 0 || data[i] == '\r' || data[i] == '\n')
            return false;
    return true;
}

// A registry script has no way to write a line break inside a name: regedit would read the
// rest of the name as lines of its own. Such a value or key is left out, with a note.
bool HasLineBreak(const std::string& name) { return name.find_first_of("\r\n") != std::string::npos; }

std::vector<BYTE> WideBytes(const BYTE* data, DWORD size)
{
    std::vector<BYTE> wide;
    if (size == 0)
        return wide;
    int count = MultiByteToWideChar(CP_ACP, 0, (const char*)data, (int)size, nullptr, 0);
    wide.resize(count * 2);
    MultiByteToWideChar(CP_ACP, 0, (const char*)data, (int)size, (WCHAR*)wide.data(), count);
    return wide;
}

void WriteValues(std::string& out, HKEY key)
{
    ForEachValue(key, [&](const RegValueItem& value) {
        const std::string& valueName = value.name;
        if (HasLineBreak(valueName)) {
            out += "; A value whose name holds a line break is left out: regedit cannot read it back.\r\n";
            return;
        }
        const DWORD type = value.type, size = (DWORD)value.data.size();
        // Ends in two zero bytes beyond size.
        const BYTE* bytes = (const BYTE*)value.data.c_str();
        // The key's default value is the bare at sign; "@" in quotes is a value named @.
        out += valueName.empty() ? "@" : Quoted(valueName);
        out += '=';
        char prefix[16];
        if (type == REG_SZ && PlainString(bytes, size)) {
            out += Quoted(size ? std::string((const char*)bytes) : "");
        } else if (type == REG_DWORD && size == 4) {
            char number[24];
            snprintf(number, sizeof(number), "dword:%08lx", *(const DWORD*)bytes);
            out += number;
        } else if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
            // A version 5.00 script holds these types' bytes in UTF-16, as regedit writes them.
            std::vector<BYTE> wide = WideBytes(bytes, size);
            snprintf(prefix, sizeof(prefix), "hex(%lx):", type);
            out += HexData(prefix, wide.data(), (DWORD)wide.size());
        } else {
            if (type == REG_BINARY)
                lstrcpyA(prefix, "hex:");
            else
                snprintf(prefix, sizeof(prefix), "hex(%lx):", type);
            out += HexData(prefix, bytes, size);
        }
        out += "\r\n";
    });
}

void WriteKey(std::string& out, HKEY root, const std::string& path, bool first)
{
    AppendF(out, "%s[%s\\%s]\r\n", first ? "" : "\r\n", HiveName(root), path.c_str());
    RegKey key;
    if (!key.open(root, path.c_str(), KEY_READ))
        return;
    WriteValues(out, key.get());
    std::vector<std::string> subkeys;
    ForEachSubkey(key.get(), [&](const std::string& name) { subkeys.push_back(name); });
    for (const std::string& sub : subkeys) {
        if (HasLineBreak(sub))
            out += "\r\n; A key whose name holds a line break is left out: regedit cannot read it back.\r\n";
        else
            WriteKey(out, root, path + "\\" + sub, false);
    }
}

}   // namespace

int ExportSettingsTo(const char* path)
{
    HANDLE file = CreateReportFile(path);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    std::string out = "Windows Registry Editor Version 5.00\r\n\r\n";
    WriteKey(out, HKEY_CURRENT_USER, "Software\\Orvane\\Kestrix", true);
    WriteKey(out, HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane", false);
    // Saved in UTF-16 with its byte-order mark, as regedit itself saves a version 5.00 script:
    // only then do the registry editors agree that hex(2) and hex(7) data are UTF-16.
    int count = MultiByteToWideChar(CP_ACP, 0, out.data(), (int)out.size(), nullptr, 0);
    std::string bytes = "\xff\xfe";
    bytes.resize(2 + count * 2);
    MultiByteToWideChar(CP_ACP, 0, out.data(), (int)out.size(), (WCHAR*)&bytes[2], count);
    return FinishReportFile(file, bytes);
}

