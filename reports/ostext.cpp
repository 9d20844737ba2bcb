#include "ostext.h"
#include "handles.h"
#include "registry.h"
#include <cstdio>
#include <cstring>
#include <string>

OsFacts ReadOsFacts()
{
    OsFacts facts = {};
    facts.version.dwOSVersionInfoSize = sizeof(facts.version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    facts.extended = GetVersionExA((OSVERSIONINFOA*)&facts.version) != 0;
    if (!facts.extended) {
        facts.version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        GetVersionExA((OSVERSIONINFOA*)&facts.version);
    }
#pragma GCC diagnostic pop
    facts.tabletPc = GetSystemMetrics(SM_TABLETPC);
    return facts;
}

static bool HasQ246009()
{
    RegKey key;
    return key.open(HKEY_LOCAL_MACHINE,
                    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009", KEY_READ);
}

static void NtProduct(const OsFacts& f, std::string& s)
{
    const OSVERSIONINFOEXA& v = f.version;
    if (!f.extended) {
        char type[REG_READ_BUFFER] = "";
        GetRegValue(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions",
                    "ProductType", type, 257);
        if (lstrcmpiA(type, "WINNT") == 0)
            s += "Workstation ";
        else if (lstrcmpiA(type, "LANMANNT") == 0)
            s += "Server ";
        else if (lstrcmpiA(type, "SERVERNT") == 0)
            s += "Advanced Server ";
        char number[32];
        snprintf(number, sizeof(number), "%lu.%lu ", v.dwMajorVersion, v.dwMinorVersion);
        s += number;
        return;
    }
    WORD suite = v.wSuiteMask;
    if (v.wProductType == VER_NT_WORKSTATION) {
        if (v.dwMajorVersion == 4)
            s += "Workstation 4.0 ";
        else if (suite & VER_SUITE_PERSONAL)
            s += "Home Edition ";
    } else if (v.dwMajorVersion == 5 && v.dwMinorVersion == 2) {
        s += (suite & VER_SUITE_DATACENTER)   ? "Datacenter Edition "
             : (suite & VER_SUITE_ENTERPRISE) ? "Enterprise Edition "
             : suite == VER_SUITE_BLADE       ? "Web Edition "
                                              : "Standard Edition ";
    } else if (v.dwMajorVersion == 5 && v.dwMinorVersion == 0) {
        s += (suite & VER_SUITE_DATACENTER)   ? "Datacenter Server "
             : (suite & VER_SUITE_ENTERPRISE) ? "Advanced Server "
                                              : "Server ";
    } else {
        s += (suite & VER_SUITE_ENTERPRISE) ? "Server 4.0, Enterprise Edition " : "Server 4.0 ";
    }
}

int OsTextFor(const OsFacts& f, char* out, int capacity)
{
    const OSVERSIONINFOEXA& v = f.version;
    std::string s;
    if (v.dwPlatformId == VER_PLATFORM_WIN32s) {
        s = "Microsoft Win32s";
    } else if (v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        if (v.dwMajorVersion == 4 && v.dwMinorVersion == 0) {
            s = "Microsoft Windows 95 ";
            if (v.szCSDVersion[1] == 'C' || v.szCSDVersion[1] == 'B')
                s += "OSR2 ";
        } else if (v.dwMajorVersion == 4 && v.dwMinorVersion == 10) {
            s = "Microsoft Windows 98 ";
            if (v.szCSDVersion[1] == 'A')
                s += "SE ";
        } else if (v.dwMajorVersion == 4 && v.dwMinorVersion == 90) {
            s = "Microsoft Windows Millennium Edition";
        }
    } else if (v.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        if (v.dwMajorVersion == 5 && v.dwMinorVersion == 2)
            s = "Windows Server 2003 family, ";
        else if (v.dwMajorVersion == 5 && v.dwMinorVersion == 1)
            s = "Windows XP ";
        else if (v.dwMajorVersion == 5 && v.dwMinorVersion == 0)
            s = "Windows 2000 ";
        else if (v.dwMajorVersion <= 4)
            s = "Windows NT ";
        else if (v.dwMajorVersion == 6)
            s = "Windows Vista ";
        if (f.extended && v.wServicePackMajor >= 1 && v.wServicePackMajor <= 3)
            s += v.wServicePackMajor == 1 ? "SP1 " : v.wServicePackMajor == 2 ? "SP2 " : "SP3 ";
        if (f.tabletPc)
            s += "Tablet PC Edition ";
        NtProduct(f, s);
        char tail[192];
        DWORD build = v.dwBuildNumber & 0xFFFF;
        if (v.dwMajorVersion == 4 && lstrcmpiA(v.szCSDVersion, "Service Pack 6") == 0 &&
            HasQ246009())
            snprintf(tail, sizeof(tail), "Service Pack 6a (Build %lu)", build);
        else
            snprintf(tail, sizeof(tail), "%s (Build %lu)", v.szCSDVersion, build);
        s += tail;
    }
    lstrcpynA(out, s.c_str(), capacity);
    return lstrlenA(out);
}

int OsText(char* out, int capacity) { return OsTextFor(ReadOsFacts(), out, capacity); }
