#include "onlineinfo.h"
#include "datafolder.h"
#include "aolwindow.h"
#include "entrylist.h"
#include "fileinfo.h"
#include "handles.h"
#include "options.h"
#include "pathutil.h"
#include "program.h"
#include "registry.h"
#include "reportfile.h"
#include "resstring.h"
#include "versioninfo.h"
#include <intshcut.h>
#include <isguids.h>
#include <objbase.h>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// Two-letter code of the interface language: the basic form knows only three.
const char* BasicLocale()
{
    return uiLanguage == 7 ? "de" : uiLanguage == 12 ? "fr" : "en";
}

// The texts every address of one report shares, while an InfoTextScope lives.
struct SharedInfoTexts {
    std::string locale, build;
};
thread_local SharedInfoTexts* t_shared;

std::string ReadStringLocale()
{
    char code[16] = "";
    LoadResString(634, code, sizeof(code));
    return code[0] ? code : "en";
}

std::string StringLocale()
{
    return t_shared ? t_shared->locale : ReadStringLocale();
}

// The system's version text, read once per program folder: a report asks for it per entry.
const char* BuildText()
{
    if (t_shared)
        return t_shared->build.c_str();
    static std::string folder, text;
    if (text.empty() || folder != ProgramFolder()) {
        char build[600];
        GetProgramVersionText(build, sizeof(build));
        folder = ProgramFolder();
        text = build;
    }
    return text.c_str();
}

// Version strings of the last file asked about: the report reads them for its lines first.
const VersionStrings& VersionsOf(const char* path)
{
    static std::string last;
    static VersionStrings strings;
    if (last != path || last.empty()) {
        GetVersionStrings(path, &strings);
        last = path;
    }
    return strings;
}

}   // namespace

InfoTextScope::InfoTextScope() : owner(t_shared == nullptr)
{
    if (owner)
        t_shared = new SharedInfoTexts{ReadStringLocale(), BuildText()};
}

InfoTextScope::~InfoTextScope()
{
    if (owner) {
        delete t_shared;
        t_shared = nullptr;
    }
}

std::string InfoAddress(int form, int type, const char* programPath, const char* title)
{
    char program[260] = "";
    GetProgramFile(programPath, program);
    const char* build = BuildText();
    const char* fileName = program[0] ? FileNamePart(program) : title;
    const char* dot = strchr(fileName, '.');
    std::string ext = dot ? dot + 1 : "";

    const VersionStrings& v = VersionsOf(form == INFO_BASIC ? programPath : program);
    std::string a = KX_INFO_HOST;
    if (form == INFO_EXTENDED) {
        FileInfoRecord info;
        GetFileInformation(program, type, &info);
        std::string created = info.created;
        created = created.substr(0, created.find(' '));   // the date part
        AppendF(a, "/cgi-bin/vantainfo12.pl?program=%s&vendor=%s&build=%s&Type=%d&Loc=%s&ext=%s",
                UrlEncode(fileName).c_str(), UrlEncode(v.slot[VS_COMPANY_NAME]).c_str(),
                UrlEncode(build).c_str(), type, UrlEncode(StringLocale().c_str()).c_str(),
                UrlEncode(ext.c_str()).c_str());
        AppendF(a, "&version=%s&name=%s&copy=%s&detail=%s",
                UrlEncode(v.slot[VS_PRODUCT_VERSION]).c_str(),
                UrlEncode(v.slot[VS_PRODUCT_NAME]).c_str(),
                UrlEncode(v.slot[VS_LEGAL_COPYRIGHT]).c_str(),
                UrlEncode(v.slot[VS_FILE_DESCRIPTION]).c_str());
        AppendF(a, "&created=%s&detected=%s&fsize=%s&path=%s", UrlEncode(created.c_str()).c_str(),
                UrlEncode(info.firstSeen).c_str(), UrlEncode(info.size).c_str(),
                UrlEncode(programPath).c_str());
        return a;
    }
    AppendF(a, "/cgi-bin/vantainfo.pl?program=%s&vendor=%s&version=%s&build=%s&Type=%d&Loc=%s",
            UrlEncode(fileName).c_str(), UrlEncode(v.slot[VS_COMPANY_NAME]).c_str(),
            UrlEncode(v.slot[VS_PRODUCT_VERSION]).c_str(), UrlEncode(build).c_str(), type,
            form == INFO_BASIC ? BasicLocale() : UrlEncode(StringLocale().c_str()).c_str());
    if (form == INFO_BASIC)
        AppendF(a, "&ext=%s", UrlEncode(ext.c_str()).c_str());
    return a;
}

int KnowledgePage(const char* fileName, char* out, int capacity)
{
    out[0] = 0;
    std::string name;
    for (const char* p = fileName; *p && name.size() < 260; p++) {
        char c = (char)tolower((unsigned char)*p);
        if (c == ' ' || c == '?' || c == ':')
            c = '_';
        if (c != '\\' && c != '/')
            name += c;
    }
    int positions[4];
    const char separators[4] = {'.', '-', '~', ','};
    int sum = 0, earliest = -1;
    for (int i = 0; i < 4; i++) {
        size_t at = name.find(separators[i]);
        positions[i] = at == std::string::npos ? -1 : (int)at;
        sum += positions[i];
        if (positions[i] >= 0 && (earliest < 0 || positions[i] < earliest))
            earliest = positions[i];
    }
    if (sum >= -1 && earliest >= 0)
        name.resize(earliest);
    // Known programs and command forms share one page each; later rules win.
    const struct { const char* part; const char* page; } kMap[] = {
        {"ycomp", "ycomp"}, {"newdot", "newdot"}, {"trickler", "trickler"},
        {"%1_%*", "kxcommand"}, {"%1_s", "kxsaver"}};
    for (const auto& m : kMap)
        if (name.find(m.part) != std::string::npos)
            name = m.page;
    char path[1024];
    int n = snprintf(path, sizeof(path), "%s\\kbase\\%s.html", ProgramFolder(), name.c_str());
    if (n > 260 || n >= capacity || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return 0;
    lstrcpynA(out, path, capacity);
    return n;
}

namespace {

// AOL's own browser takes the address on its command line. The program path is quoted so a
// blank in the AOL folder cannot start another program; without a known folder there is no
// AOL command (a bare name would be looked for in the current folder first): 0.
int OpenInAol(const std::string& address)
{
    char folder[MAX_PATH] = "";
    if (!GetProfileStringA("WAOL", "AppPath", "", folder, sizeof(folder)))
        return 0;
    std::string command = "\"" + std::string(folder);
    if (command.back() != '\\')
        command += '\\';
    command += "WAOL.EXE\" -u \"" + address + "\"";
    return RunCommandShown(command.c_str());
}

int OpenInInternetExplorer(const std::string& address)
{
    char ie[MAX_PATH + 16];
    InternetExplorerFile("iexplore.exe", ie, sizeof(ie));
    return RunCommandShown(("\"" + std::string(ie) + "\" " + address).c_str());
}

// The extended form goes through an internet shortcut, which the shell opens with the
// user's browser even where "open" on a long address fails.
int OpenThroughShortcut(const std::string& address)
{
    char path[MAX_PATH + 16];
    bool saved = false;
    if (!UserDataPath("temp.url", path, sizeof(path)))
        return ShellOpen(address.c_str());
    HRESULT init = CoInitialize(nullptr);
    {
        ComPtr<IUniformResourceLocatorA> url;
        if (SUCCEEDED(CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IUniformResourceLocatorA, url.outVoid())) &&
            SUCCEEDED(url->SetURL(address.c_str(), 0))) {
            ComPtr<IPersistFile> file;
            WCHAR wide[MAX_PATH + 16];
            MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH + 16);
            saved = SUCCEEDED(url->QueryInterface(IID_IPersistFile, file.outVoid())) &&
                    SUCCEEDED(file->Save(wide, TRUE));
        }
    }
    if (SUCCEEDED(init))
        CoUninitialize();
    if (!saved)
        return ShellOpen(address.c_str());
    int opened = ShellOpen(path);
    DeleteFileA(path);
    return opened;
}

}   // namespace

int ShowOnlineInformation(int type, const char* programPath, const char* title)
{
    int extended = GetOption("VantaFormat", 0) != 0;
    if (!extended) {
        char program[260], page[MAX_PATH + 1];
        GetProgramFile(programPath, program);
        const char* fileName = program[0] ? FileNamePart(program) : title;
        if (KnowledgePage(fileName, page, sizeof(page)) && ShellOpen(page))
            return 1;
    }
    std::string address = InfoAddress(extended ? INFO_EXTENDED : INFO_BASIC, type, programPath,
                                      title);
    if (FindAolClientWindow() && OpenInAol(address))
        return 1;
    int opened = extended ? OpenThroughShortcut(address) : ShellOpen(address.c_str());
    if (opened || (extended && GetOption("BrowserFailure", 0) == 0))
        return opened;
    return OpenInInternetExplorer(address);
}

int OpenWebPage(const char* address)
{
    if (FindAolClientWindow() && OpenInAol(address))
        return 1;
    return ShellOpen(address);
}

int ShowEntryOnlineInformation(int index)
{
    const EntryRecord* entry = GetEntry(index);
    return entry ? ShowOnlineInformation(entry->type, entry->command, entry->title) : 0;
}
