// The Mozilla cookies.txt: one cookie per line, seven TAB-separated fields. Read whole and
// rewritten line by line, so that every line the filter keeps comes back byte for byte.
#include "cookies.h"
#include "datetime.h"
#include "handles.h"
#include "trace.h"
#include "wholefile.h"
#include "writefault.h"
#include <cstdlib>
#include <cstring>

int ParseMozillaCookieLine(const std::string& line, MozillaCookie* out)
{
    *out = MozillaCookie();
    if (line.empty() || line[0] == '#')
        return 0;
    std::string* fields[] = {&out->domain, &out->hostOnly, &out->path, &out->secure,
                             &out->expiry, &out->name};
    size_t start = 0;
    for (std::string* field : fields) {
        size_t tab = line.find('\t', start);
        if (tab == std::string::npos)
            return 0;
        field->assign(line, start, tab - start);
        start = tab + 1;
    }
    out->value.assign(line, start, std::string::npos);
    return 1;
}

void MozillaCookieTitle(const MozillaCookie& cookie, char* out)
{
    const char* domain = cookie.domain.c_str();
    if (*domain == '.')
        domain++;
    std::string title = std::string(domain) + " - " + cookie.name.c_str();
    lstrcpynA(out, title.c_str(), 128);
}

void CookieExpiryText(const std::string& seconds, char* out, int capacity)
{
    out[0] = 0;
    char* end = nullptr;
    unsigned long long value = strtoull(seconds.c_str(), &end, 10);
    // FILETIME holds 100 ns ticks from 1601; later than about year 30000 does not convert.
    if (end == seconds.c_str() || seconds[0] == '-' || value > 900000000000ULL)
        return;
    ULARGE_INTEGER ticks;
    ticks.QuadPart = (value + 11644473600ULL) * 10000000ULL;
    FILETIME utc = {ticks.LowPart, ticks.HighPart}, local;
    SYSTEMTIME st;
    if (FileTimeToLocalFileTime(&utc, &local) && FileTimeToSystemTime(&local, &st))
        FormatDateTime(st, out, capacity);
}

std::vector<std::string> SplitLinesKeepingEnds(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.emplace_back(text, start, end - start);
        start = end;
    }
    return lines;
}

std::string LineContent(const std::string& line)
{
    size_t n = line.size();
    if (n && line[n - 1] == '\n')
        n--;
    if (n && line[n - 1] == '\r')
        n--;
    return line.substr(0, n);
}

int FilterCondemnsLine(const std::string& line)
{
    std::string content = LineContent(line);
    // The match test takes at most 512 characters; a long value must not shield the
    // domain and name at the start of the line.
    std::string head = content.substr(0, COOKIE_FILTER_TEXT - 1);
    if (CookieMatchesFilter(head.c_str()))
        return 1;
    MozillaCookie cookie;
    if (!ParseMozillaCookieLine(content, &cookie))
        return 0;
    char title[128];
    MozillaCookieTitle(cookie, title);
    return CookieFilterNamed(title);
}

static int WriteAll(HANDLE file, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        DWORD chunk = (DWORD)(text.size() - done > 1 << 20 ? 1 << 20 : text.size() - done), wrote = 0;
        if (!WriteFile(file, text.data() + done, chunk, &wrote, nullptr) || wrote == 0)
            return 0;
        done += wrote;
    }
    return 1;
}

int WriteFilteredCookieFile(const char* from, const char* to)
{
    std::string text;
    if (!ReadWholeFile(from, &text))
        return -1;
    std::string kept;
    kept.reserve(text.size());
    int dropped = 0;
    for (const std::string& line : SplitLinesKeepingEnds(text)) {
        if (FilterCondemnsLine(line))
            dropped++;
        else
            kept += line;
    }
    if (dropped == 0 && lstrcmpiA(from, to) == 0)
        return 0;   // the file stays as the browser wrote it
    std::string temporary = std::string(to) + ".kxtmp";
    {
        Handle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || WriteStepFails() || !WriteAll(file.get(), kept) || !FlushFileBuffers(file.get())) {
            file.reset();
            DeleteFileA(temporary.c_str());
            Trace("ERROR cookie file not written", temporary.c_str());
            return -1;
        }
    }
    SetFileAttributesA(to, FILE_ATTRIBUTE_NORMAL);
    if (WriteStepFails() ||
        !MoveFileExA(temporary.c_str(), to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        Trace("ERROR cookie file not replaced", to);
        return -1;
    }
    return dropped;
}
