#include "reportlog.h"
#include "addons.h"
#include "browserentries.h"
#include "delaystart.h"
#include "entrylist.h"
#include "fileinfo.h"
#include "findrun.h"
#include "firstseen.h"
#include "handles.h"
#include "inventories.h"
#include "onlineinfo.h"
#include "options.h"
#include "pathutil.h"
#include "program.h"
#include "reportfile.h"
#include "resstring.h"
#include "runtasks.h"
#include "services.h"
#include "signaturetext.h"
#include "versioninfo.h"
#include <map>

namespace {

enum { SEC_STARTUP, SEC_DELAYED, SEC_TASKS, SEC_SCHEDULED, SEC_HELPERS, SEC_FILETYPES,
       SEC_SERVICES, SEC_HIDDEN, SEC_COUNT };

const UINT kTitles[SEC_COUNT] = {606, 609, 607, 680, 694, 739, 636, 973};

int FillSection(int section)
{
    switch (section) {
    case SEC_STARTUP: return BuildStartupList(0);
    case SEC_DELAYED: return ListDelayedPrograms();
    case SEC_TASKS: return ListRunningTasks();
    case SEC_SCHEDULED: return ListScheduledTasks();
    case SEC_HELPERS: return ListBrowserAddOnsAndProfiles();
    case SEC_FILETYPES: return ListFileTypePrograms();
    case SEC_SERVICES: return ListServices();
    default: return ListHiddenFiles();
    }
}

// A text-form field: its tabs and line breaks would start another column or row.
std::string Cell(const char* text)
{
    std::string s = text;
    for (char& c : s)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return s;
}

const char* HelperKey(int type)
{
    switch (type) {
    case TYPE_BHO: return KX_BHO_KEY;
    case TYPE_BHO32: return KX_BHO32_KEY;
    case TYPE_TOOLBAR: return KX_TOOLBAR_KEY;
    default: return KX_EXTENSIONS_KEY;
    }
}

// Whether each first-seen key exists, asked once per report: with no baseline taken, every
// entry's date lookup would otherwise open a missing key.
typedef std::map<std::string, bool> DetectedKeys;

int FirstSeenDate(DetectedKeys& keys, const char* program, int type, char* out, int capacity)
{
    const char* subkey = DetectedSubkeyForType(type);
    auto known = keys.find(subkey);
    if (known == keys.end()) {
        RegKey key;
        known = keys.emplace(subkey, key.open(HKEY_CURRENT_USER, subkey, KEY_READ)).first;
    }
    if (!known->second) {
        out[0] = 0;
        return 0;
    }
    return GetFirstSeenDate(program, type, out, capacity);
}

void HtmlEntry(std::string& out, int section, int index, const ServiceStateTable& states,
               DetectedKeys& detected)
{
    const EntryRecord& e = *GetEntry(index);
    char program[260], location[512] = "", date[32] = "";
    GetProgramFile(e.command, program);
    VersionStrings v;
    GetVersionStrings(program[0] ? program : e.command, &v);
    std::string name = HtmlEscape(FileNamePart(e.command));
    const char* nbsp = "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;";
    if (section == SEC_HIDDEN)
        AppendF(out, "<li><b>%s</b>\r\n\t<ol>\r\n", name.c_str());
    else
        AppendF(out, "<li><b>%s</b>\r\n\t<ol>%s%s%s\r\n",
                e.title[0] ? HtmlEscape(e.title).c_str() : "No Description available",
                name.c_str(), nbsp, nbsp);
    const char* description = v.slot[VS_FILE_DESCRIPTION];
    const char* copyright = v.slot[VS_LEGAL_COPYRIGHT];
    if (description[0])
        AppendF(out, "\t%s<br>", HtmlEscape(description).c_str());
    if (v.slot[VS_PRODUCT_VERSION][0])
        AppendF(out, "\tVersion: %s%s\r\n", HtmlEscape(v.slot[VS_PRODUCT_VERSION]).c_str(), nbsp);
    if (copyright[0])
        AppendF(out, "\t%s<br>\r\n", HtmlEscape(copyright).c_str());
    if (!description[0] && !copyright[0])
        out += "<br>";
    if (LocationText(index, location) && location[0])
        AppendF(out, "\tLocation: %s<br>\r\n", HtmlEscape(location).c_str());
    if (e.command[0])
        AppendF(out, "\tPath:     %s<br>\r\n", HtmlEscape(e.command).c_str());
    if (section != SEC_HIDDEN) {
        // A broken signature or a missing program stands out in red.
        char label[64] = "";
        LoadResString(1438, label, sizeof(label));
        int alarming = 0;
        std::string publisher = ReportPublisher(e.command, v.slot[VS_COMPANY_NAME], &alarming);
        AppendF(out, alarming ? "\t%s <b><font color=red>%s</font></b><br>\r\n" : "\t%s %s<br>\r\n",
                HtmlEscape(label).c_str(), HtmlEscape(publisher.c_str()).c_str());
    }
    if (FirstSeenDate(detected, program, e.type, date, sizeof(date)))
        AppendF(out, "\tFirst Detected by Kestrix: %s<br>\r\n", HtmlEscape(date).c_str());
    if (e.detail[0])
        AppendF(out, "\t%s<br>\r\n", HtmlEscape(e.detail).c_str());
    if (section == SEC_SERVICES) {
        if (e.type == DRIVER_SERVICE)
            AppendF(out, "\tType: %s<br>\r\n", HtmlEscape(DriverKindText(e.tag).c_str()).c_str());
        AppendF(out, "\tStartup Type: %s<br>\r\n", HtmlEscape(e.source).c_str());
        char state[256] = "";
        if (ServiceStateTextIn(states, e.key, state, sizeof(state)) && state[0])
            AppendF(out, "\tService Status: %s<br>\r\n", HtmlEscape(state).c_str());
    }
    if (section == SEC_HIDDEN) {
        FileInfoRecord info;
        GetFileInformation(e.command, e.type, &info);
        AppendF(out, "\tCreated: %s<br>\r\n\tAccessed: %s<br>\r\n\tWritten: %s<br>\r\n",
                info.created, info.accessed, info.written);
        AppendF(out, "\tFile Size: %s Bytes<br>\r\n", info.size);
    }
    if (section == SEC_HELPERS) {
        char label[64] = "";
        LoadResString(716, label, sizeof(label));
        AppendF(out, "%s: \"HKLM\\%s\"<br>\r\n", HtmlEscape(label).c_str(), HelperKey(e.type));
    }
    std::string address = InfoAddress(INFO_REPORT, e.type, e.command, e.title);
    AppendF(out, "\t<A href='%s'>Click for Vanta Info</A></ol>\r\n\t</li>\r\n\r\n",
            HtmlEscape(address.c_str()).c_str());
}

void TextEntry(std::string& out, int index)
{
    const EntryRecord& e = *GetEntry(index);
    char program[260], location[512] = "";
    GetProgramFile(e.command, program);
    VersionStrings v;
    GetVersionStrings(program[0] ? program : e.command, &v);
    LocationText(index, location);
    AppendF(out, "%s\t%s\t%s\t%s\t%s\t%s\t%s\r\n", Cell(e.title).c_str(),
            Cell(FileNamePart(e.command)).c_str(), Cell(v.slot[VS_FILE_DESCRIPTION]).c_str(),
            Cell(v.slot[VS_PRODUCT_VERSION]).c_str(), Cell(v.slot[VS_LEGAL_COPYRIGHT]).c_str(),
            Cell(location).c_str(), Cell(e.command).c_str());
}

}   // namespace

int WriteReportLogTo(const char* path, int html)
{
    HANDLE file = CreateReportFile(path);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    VersionCacheScope versions;
    ResStringCacheScope strings;
    ReportSignatureScope signatures;
    InfoTextScope infoTexts;
    DisabledIndexScope disabledIndex;
    ServiceStateTable states;
    DetectedKeys detected;
    std::string out;
    char titles[SEC_COUNT][128];
    for (int s = 0; s < SEC_COUNT; s++)
        LoadResString(kTitles[s], titles[s], sizeof(titles[s]));
    if (html) {
        // The page declares its code page: the bullet and the machine's texts are ANSI.
        out += "<html><head><meta http-equiv='Content-Type' content='text/html; "
               "charset=windows-1252'><title>\r\nKestrix Report Log</title></head>\r\n"
               "<body bgcolor=FloralWhite>\r\n<H2 align='center'> Kestrix Report Log </H2>\r\n";
        SystemInformation(out, 1);
        for (int s = 0; s < SEC_HIDDEN; s++)
            AppendF(out, "<A href='KestrixLog.html#A%d'>%s</A><br>\r\n", s,
                    HtmlEscape(titles[s]).c_str());
    } else {
        out += "Title\tProgram\tDescription\tVersion\tCopyright\tLocation\tPath\r\n";
    }
    for (int s = 0; s < SEC_COUNT; s++) {
        FillSection(s);
        if (s == SEC_SERVICES && html)
            ReadServiceStates(&states);
        if (html)
            AppendF(out, "<A NAME=\"A%d\"></A>\r\n<center><b><BIG><BIG> \x95 %s \x95 "
                         "</BIG></BIG></b></center>\r\n<ul>\r\n",
                    s, HtmlEscape(titles[s]).c_str());
        else
            AppendF(out, "%s\r\n", titles[s]);
        for (int i = 0; i < EntryCount(); i++) {
            const EntryRecord* e = GetEntry(i);
            if (!e->title[0] && !e->command[0])
                continue;
            if (html)
                HtmlEntry(out, s, i, states, detected);
            else
                TextEntry(out, i);
        }
        if (html)
            out += "</ul>\r\n";
    }
    if (html)
        out += "</body></html>\r\n";
    ClearEntries();
    int written = FinishReportFile(file, out);
    SetCursor(old);
    return written;
}

