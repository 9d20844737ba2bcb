#include "savedlist.h"
#include "browserentries.h"
#include "delaystart.h"
#include "entrylist.h"
#include "findrun.h"
#include "firstseen.h"
#include "inventories.h"
#include "pathutil.h"
#include "program.h"
#include "reportfile.h"
#include "resstring.h"
#include "runtasks.h"
#include "services.h"
#include "valueplaces.h"
#include "versioninfo.h"

namespace {

const char* const kSubtypes[] = {"", "Run", "RunOnce", "RunOnceEx", "RunServices",
                                 "RunServicesOnce", "RunOnceSetup"};

void RunKeyKind(int code, const char** type, const char** subtype)
{
    int digit = code % 10, tens = code / 10;
    bool view32 = tens == RUN32_ROOT_INDEX;
    if (code < 1 || (code > 26 && !view32) || digit < 1 || digit > 6) {
        *type = "UnknownKey";
        *subtype = "Run";
        return;
    }
    *type = view32 ? "HKLM32" : tens == 0 ? "HKLM" : tens == 1 ? "HKCU" : "HKU";
    *subtype = code == 25 ? "RunServiceOnce" : kSubtypes[digit];
}

std::string Cleaned(const char* text, int limit) { return CsvField(CleanField(text, limit).c_str()); }

// One data line. Every field is quoted (title and command as they are, the others cleaned
// of commas and cut), so that no text of the machine can add a row or run as a formula.
void Line(std::string& out, const char* type, const char* subtype, const EntryRecord& e)
{
    char program[260], date[32];
    GetProgramFile(e.command, program);
    VersionStrings v;
    GetVersionStrings(program[0] ? program : e.command, &v);
    GetFirstSeenDate(program, e.type, date, sizeof(date));
    AppendF(out, "%s,%s,%s,%s,%s,%s,%s,%s,%s\r\n", CsvField(type).c_str(),
            Cleaned(subtype, 255).c_str(), CsvField(e.title).c_str(),
            Cleaned(FileNamePart(program[0] ? program : e.command), 260).c_str(),
            Cleaned(v.slot[VS_COMPANY_NAME], 128).c_str(), Cleaned(date, 24).c_str(),
            CsvField(e.command).c_str(), Cleaned(v.slot[VS_FILE_DESCRIPTION], 1024).c_str(),
            Cleaned(v.slot[VS_PRODUCT_VERSION], 128).c_str());
}

void Section(std::string& out, const char* type, const char* subtype, int onlyType = 0)
{
    for (int i = 0; i < EntryCount(); i++) {
        const EntryRecord* e = GetEntry(i);
        if (!onlyType || e->type == onlyType)
            Line(out, type, subtype, *e);
    }
}

}   // namespace

int WriteSavedListTo(const char* path)
{
    HANDLE file = CreateReportFile(path);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    VersionCacheScope versions;
    std::string out;
    char caption[128] = "", version[600], timeText[16], dateText[16];
    LoadResString(2, caption, sizeof(caption));
    GetProgramVersionText(version, sizeof(version));
    StampTexts(ReportNow(), timeText, dateText);
    AppendF(out, "Log created by %s version %s\r\n", caption, version);
    AppendF(out, "Scan saved at %s, on %s\r\n", timeText, dateText);
    out += "Type,SubType,Title,Filename,Company,First Detected,Path,Description, Version\r\n";

    ClearEntries();
    BuildRun();
    for (int i = 0; i < EntryCount(); i++) {
        const char *type, *subtype;
        RunKeyKind(GetEntryType(i), &type, &subtype);
        Line(out, type, subtype, *GetEntry(i));
    }
    ClearEntries();
    GetStartupGroup();
    Section(out, "Startup", "Folder");
    ListDelayedPrograms();
    Section(out, "Delayed Start", "");
    ListRunningTasks();
    Section(out, "Active Tasks", "");
    ListBrowserAddOnsAndProfiles();
    Section(out, "IE Helpers", "BHO", TYPE_BHO);
    Section(out, "IE Helpers", "BHO32", TYPE_BHO32);
    Section(out, "IE Helpers", "Toolbar", TYPE_TOOLBAR);
    Section(out, "Browsers", "Extension", TYPE_BROWSER_EXTENSION);
    Section(out, "Browsers", "Page", TYPE_BROWSER_PAGE);
    Section(out, "Browsers", "Policy", TYPE_BROWSER_POLICY);
    Section(out, "Browsers", "Offered", TYPE_BROWSER_EXTERNAL);
    ListServices();
    ServiceStateTable states;
    ReadServiceStates(&states);
    for (int i = 0; i < EntryCount(); i++) {
        char state[256] = "";
        ServiceStateTextIn(states, GetEntry(i)->key, state, sizeof(state));
        const EntryRecord& e = *GetEntry(i);
        if (e.type == DRIVER_SERVICE)
            Line(out, "Drivers", DriverKindText(e.tag).c_str(), e);
        else
            Line(out, "Services", state, e);
    }
    ListScheduledTasks();
    Section(out, "Scheduled Tasks", "");
    ClearEntries();
    ListValuePlaces();
    for (int i = 0; i < EntryCount(); i++)
        Line(out, "Value Place", TypeName(GetEntryType(i)), *GetEntry(i));
    ClearEntries();
    int written = FinishReportFile(file, out);
    SetCursor(old);
    return written;
}

