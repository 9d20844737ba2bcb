// Online program information: the address of the vendor's lookup for a program, the local
// knowledge pages that answer first, and which browser the machine uses.
#pragma once
#include "browserkind.h"
#include <string>

// The one host of the information service.
#define KX_INFO_HOST "http://info.orvane.com"
// Where the help pages are on the web, for a copy installed without them.
#define KX_HELP_SITE "http://www.orvane.com/kestrix/help/"

enum InfoForm {
    INFO_BASIC,      // /cgi-bin/vantainfo.pl, option VantaFormat 0
    INFO_EXTENDED,   // /cgi-bin/vantainfo12.pl with the file's dates, size and path
    INFO_REPORT,     // the report's link: the basic keys up to Loc, without ext
};

// The whole address for an entry's type code, program path (as listed) and title (used
// when the path names no program). Every value is URL-encoded.
std::string InfoAddress(int form, int type, const char* programPath, const char* title);

// While one lives, InfoAddress reads the interface's locale code and the system's version text
// once: a report asks for an address per entry, and each is a resource, registry or file read.
struct InfoTextScope {
    InfoTextScope();
    ~InfoTextScope();
    InfoTextScope(const InfoTextScope&) = delete;
    InfoTextScope& operator=(const InfoTextScope&) = delete;
    bool owner;
};

// Path of the local knowledge page for a file name; its length, 0 when there is none.
int KnowledgePage(const char* fileName, char* out, int capacity);


// Opens the knowledge page or hands the address to AOL or the browser (option VantaFormat
// picks the form). 1 when something was opened.
int ShowOnlineInformation(int type, const char* programPath, const char* title);
// Opens a web address: in AOL's own browser while it runs, else through the shell. 1 when
// something took it.
int OpenWebPage(const char* address);
// The same for the entry at index of the entry list; 0 when there is no such entry.
int ShowEntryOnlineInformation(int index);
