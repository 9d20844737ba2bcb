// O25 and O26: today's browsers. O25 an extension or page of a profile, O26 a policy value or
// a registry key that puts one on the browser.
#include "browserentries.h"
#include "entrylist.h"
#include "hijacksections.h"
#include "reportfile.h"

void HijackBrowsers(std::string& log)
{
    ClearEntries();
    AddBrowserProfileEntries();
    for (int i = 0; i < EntryCount(); i++) {
        const EntryRecord& e = *GetEntry(i);
        const bool profile = e.type == TYPE_BROWSER_EXTENSION || e.type == TYPE_BROWSER_PAGE;
        AppendLineF(log, "%s - %s - %s - %s - %s%s\r\n", profile ? "O25" : "O26", e.key, e.title,
                    e.command, e.detail, e.offByWindows ? " (disabled)" : "");
    }
    ClearEntries();
}
