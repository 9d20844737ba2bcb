#include "pages.h"
#include "dialogs_pages.h"
#include "page_cookies.h"
#include "platform.h"

static const PageInfo kPages[] = {
    {PAGE_STARTUP, 606, IDD_PAGE_STARTUP, 174, "startup.html", StartupPageProc},
    {PAGE_DELAY, 609, IDD_PAGE_DELAY, 200, "delay.html", ListPageProc},
    {PAGE_IEHELPERS, 694, IDD_PAGE_IEHELPERS, 180, "bho.html", ListPageProc},
    {PAGE_SCHEDULED, 680, IDD_PAGE_SCHEDULED, 182, "scheduler.html", ListPageProc},
    {PAGE_SERVICES, 636, IDD_PAGE_SERVICES, 173, "services.html", ListPageProc},
    {PAGE_TASKS, 607, IDD_PAGE_TASKS, 176, "tasks.html", ListPageProc},
    {PAGE_COOKIES, 608, IDD_PAGE_COOKIES, 183, "cookies.html", CookiesPageProc},
    {PAGE_FILETYPES, 739, IDD_PAGE_FILETYPES, 179, "filetype.html", ListPageProc},
    {PAGE_HIDDEN, 973, IDD_PAGE_HIDDEN, 198, "hidden.html", ListPageProc},
    {PAGE_OPTIONS, 610, IDD_PAGE_OPTIONS, 181, "options.html", OptionsPageProc},
};
static const int kPageCount = sizeof(kPages) / sizeof(kPages[0]);

int SheetPages(const PageInfo** out)
{
    static PageInfo present[kPageCount];
    int count = 0;
    int nt = IsWindowsNT();
    for (const PageInfo& page : kPages)
        if (page.commandId != PAGE_SERVICES || nt)
            present[count++] = page;
    *out = present;
    return count;
}

const PageInfo* FindPage(int commandId)
{
    for (const PageInfo& page : kPages)
        if (page.commandId == commandId)
            return &page;
    return nullptr;
}

const char* HelpFileForPage(int commandId)
{
    if (commandId == PAGE_HELPME)
        return "helpme.html";
    const PageInfo* page = FindPage(commandId);
    return page ? page->helpFile : "features.html";
}
