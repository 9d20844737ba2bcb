#include "realhives.h"
#include <windows.h>
#include <cctype>
#include <cstdlib>
#include <fstream>

std::string RealHivesFolder()
{
    std::string folder = std::string("Z:") + KX_SOURCE_DIR + "/../shared/testdata/real-hives";
    for (char& c : folder)
        if (c == '/')
            c = '\\';
    return GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES ? "" : folder;
}

bool RunningInCi()
{
    const char* ci = getenv("CI");
    return ci && *ci && lstrcmpiA(ci, "false") != 0 && lstrcmpA(ci, "0") != 0;
}

std::string RegFileUnescape(const std::string& quoted)
{
    std::string out;
    for (size_t i = 0; i < quoted.size(); i++) {
        if (quoted[i] == '\\' && i + 1 < quoted.size())
            i++;
        out += quoted[i];
    }
    return out;
}

namespace {

// "hex(2):25,53,..." and its continuation lines, as bytes.
std::string HexBytes(const std::string& list)
{
    std::string bytes;
    for (size_t i = 0; i < list.size(); i++) {
        if (!isxdigit((unsigned char)list[i]) || i + 1 >= list.size() ||
            !isxdigit((unsigned char)list[i + 1]))
            continue;
        bytes += (char)strtol(list.substr(i, 2).c_str(), nullptr, 16);
        i++;
    }
    return bytes;
}

}   // namespace

std::vector<RegFileValue> ReadRegFileValues(const std::string& path, const std::string& under)
{
    std::vector<RegFileValue> values;
    std::ifstream in(path, std::ios::binary);
    std::string line, key;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // A hex list goes on over lines that end in a backslash.
        while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
            std::string next;
            if (!std::getline(in, next))
                break;
            if (!next.empty() && next.back() == '\r')
                next.pop_back();
            line.pop_back();
            line += next;
        }
        if (line.rfind("[", 0) == 0) {
            key = line.substr(1, line.size() - 2);
            inside = key.compare(0, under.size(), under) == 0;
            continue;
        }
        if (!inside || line.size() < 2 || (line[0] != '"' && line[0] != '@'))
            continue;
        size_t nameEnd = line[0] == '@' ? 0 : line.find("\"=", 1);
        if (nameEnd == std::string::npos)
            continue;
        RegFileValue v{key, line[0] == '@' ? "" : RegFileUnescape(line.substr(1, nameEnd - 1)),
                       REG_SZ, ""};
        std::string rest = line.substr(line[0] == '@' ? 2 : nameEnd + 2);
        if (rest.rfind("\"", 0) == 0) {
            v.data = RegFileUnescape(rest.substr(1, rest.size() - 2)) + std::string(1, '\0');
        } else if (rest.rfind("hex(2):", 0) == 0) {
            v.type = REG_EXPAND_SZ;
            v.data = HexBytes(rest.substr(7));
        } else if (rest.rfind("hex(7):", 0) == 0) {
            v.type = REG_MULTI_SZ;
            v.data = HexBytes(rest.substr(7));
        } else if (rest.rfind("hex:", 0) == 0) {
            v.type = REG_BINARY;
            v.data = HexBytes(rest.substr(4));
        } else if (rest.rfind("dword:", 0) == 0) {
            v.type = REG_DWORD;
            DWORD number = strtoul(rest.c_str() + 6, nullptr, 16);
            v.data.assign((const char*)&number, 4);
        } else {
            continue;
        }
        values.push_back(v);
    }
    return values;
}
