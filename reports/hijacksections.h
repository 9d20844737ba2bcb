// The sections of the hijack scan log, in the order the log writes them. Each appends its
// lines (CR LF ended) to the log text.
#pragma once
#include <string>

void HijackHeader(std::string& log);
void HijackPages(std::string& log);          // R0, R1
void HijackStartupFiles(std::string& log);   // F0 to F3
void HijackHosts(std::string& log);          // O1
void HijackAddOns(std::string& log);         // O2, O3
void HijackRunEntries(std::string& log);     // O4
void HijackHooks(std::string& log);          // O5 to O24
void HijackBrowsers(std::string& log);       // O25, O26
void HijackValuePlaces(std::string& log);    // O30 and up: one prefix per value place
void HijackAdditional(std::string& log);     // browsers and cookies
void HijackOwnLines(std::string& log);       // KX
void HijackMemory(std::string& log);
// "MSIE: ..." line, shared by the header and the additional section.
void HijackBrowserLine(std::string& log);
