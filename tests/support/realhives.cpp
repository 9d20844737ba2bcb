#include "realhives.h"
#include <windows.h>
#include <cstdlib>

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
