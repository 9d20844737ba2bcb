// The Services page (NT family): services that run a program of their own or a library in
// the shared service host, and with "Show drivers" the kernel and file-system drivers.
#include "dialogs_pages.h"
#include "entrylist.h"
#include "handles.h"
#include "listpage.h"
#include "options.h"
#include "pagecommands.h"
#include "pages.h"
#include "pathutil.h"
#include "publishercolumn.h"
#include "resstring.h"
#include "services.h"
#include <cstdio>
#include <map>
#include <string>
#include <vector>

// Run state of every service by display name (upper case), read in one call when the list is
// filled: asking the service manager service by service costs a round trip each.
static std::map<std::string, DWORD> g_states;

static std::string Upper(const char* text)
{
    std::string upper = text;
    CharUpperBuffA(&upper[0], (DWORD)upper.size());
    return upper;
}

static void ReadStates()
{
    g_states.clear();
    ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    if (!manager)
        return;
    DWORD needed = 0, count = 0, resume = 0;
    DWORD kinds = SERVICE_WIN32 | SERVICE_DRIVER;
    EnumServicesStatusA(manager.get(), kinds, SERVICE_STATE_ALL, nullptr, 0, &needed, &count,
                        &resume);
    if (GetLastError() != ERROR_MORE_DATA || !needed)
        return;
    std::vector<BYTE> buffer(needed);
    resume = 0;
    auto* services = (ENUM_SERVICE_STATUSA*)buffer.data();
    if (!EnumServicesStatusA(manager.get(), kinds, SERVICE_STATE_ALL, services, needed,
                             &needed, &count, &resume))
        return;
    for (DWORD i = 0; i < count; i++)
        g_states[Upper(services[i].lpDisplayName)] = services[i].ServiceStatus.dwCurrentState;
}

static int Fill()
{
    int count = ListServices();
    ReadStates();
    return count;
}

// With the option on, what Windows' maker signed is left out (each program checked now).
static int Keep(int index)
{
    return GetOption("HideSignedServices", 0) <= 0 || !EntryMicrosoftSigned(index);
}

static void Cell(int index, int column, char* out, int capacity)
{
    const EntryRecord* r = GetEntry(index);
    out[0] = 0;
    switch (column) {
    case 0: lstrcpynA(out, r->title, capacity); break;
    case 1:
        if (r->type == DRIVER_SERVICE) {
            // The driver's kind is its Type text: its file says too little by itself.
            snprintf(out, capacity, "%s (%s)", FileNamePart(r->command),
                     DriverKindText(r->tag).c_str());
            break;
        }
        snprintf(out, capacity, "%s%s", r->type == SERVICE_SVCHOST ? "svchost.exe " : "",
                 FileNamePart(r->command));
        break;
    case 3: {
        auto found = g_states.find(Upper(r->title));
        DWORD state = found == g_states.end() ? 0 : found->second;
        LoadResString(state >= 1 && state <= 7 ? 651 + state : 652, out, capacity);
        break;
    }
    case 4: lstrcpynA(out, r->source, capacity); break;
    }
}

static HMENU Menu(int index)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuHead(menu, index);
    AppendMenuTail(menu);
    return menu;
}

static void Activate(HWND page)
{
    CheckDlgButton(page, IDC_PAGE_CHECK,
                   GetOption("HideMicrosoftServices", 1) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_PAGE_HIDE_SIGNED,
                   GetOption("HideSignedServices", 0) > 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_PAGE_SHOW_DRIVERS,
                   GetOption("ShowDrivers", 0) > 0 ? BST_CHECKED : BST_UNCHECKED);
}

static int Command(HWND page, int command)
{
    if (command == IDC_PAGE_HIDE_SIGNED)
        SetPageOption("HideSignedServices",
                      IsDlgButtonChecked(page, IDC_PAGE_HIDE_SIGNED) == BST_CHECKED);
    else if (command == IDC_PAGE_SHOW_DRIVERS)
        SetPageOption("ShowDrivers", IsDlgButtonChecked(page, IDC_PAGE_SHOW_DRIVERS) == BST_CHECKED);
    else if (command == IDC_PAGE_CHECK)
        SetPageOption("HideMicrosoftServices", IsDlgButtonChecked(page, IDC_PAGE_CHECK) == BST_CHECKED);
    else
        return 0;
    RefillListPage(page);
    return 1;
}

static constexpr ListPageDef ServicesPage()
{
    ListPageDef page;
    page.commandId = PAGE_SERVICES;
    SetTable(page.texts, {{IDC_SERVICES_BANNER1, 638}, {IDC_SERVICES_BANNER2, 639},
                          {IDC_PAGE_INFO, 301}, {IDC_PAGE_CHECK, 721},
                          {IDC_PAGE_HIDE_SIGNED, 1439}, {IDC_PAGE_SHOW_DRIVERS, 1850}});
    page.layout.bannerCount = SetTable(page.layout.banners, {IDC_SERVICES_BANNER1,
                                                             IDC_SERVICES_BANNER2});
    page.layout.rowCount = SetTable(page.layout.rows, {IDC_PAGE_CHECK, IDC_PAGE_HIDE_SIGNED,
                                                       IDC_PAGE_SHOW_DRIVERS});
    page.layout.slotCount = SetTable(page.layout.slots, {{IDC_PAGE_INFO}, {IDC_PAGE_CLOSE}});
    page.layout.hasMonitor = 1;
    page.columnCount = SetTable(page.columns, {{627, 0.22, COL_TEXT}, {628, 0.13, COL_TEXT},
                                               {699, 0.14, COL_COMPANY}, {648, 0.07, COL_TEXT},
                                               {651, 0.08, COL_TEXT},
                                               {912, 0.15, COL_FIRST_DETECTED},
                                               {1437, 0.21, COL_PUBLISHER}});
    page.sortableColumns = 7;
    page.sortOption = "SortService";
    page.patrolCaption = 957;
    page.patrolOption = "Services";
    page.patrolDefault = 7;
    page.detectedList = "Services";
    page.alwaysRefill = 1;
    page.companyBlank = 1;
    page.fill = Fill;
    page.keep = Keep;
    page.cell = Cell;
    page.menu = Menu;
    page.command = Command;
    page.activate = Activate;
    return page;
}
constexpr ListPageDef g_servicesPage = ServicesPage();
