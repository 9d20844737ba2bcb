// What the reports say about cookies: the lines of the hijack scan log and the Internet
// Explorer cookie folder of the system-information block.
#pragma once
#include <string>

void HijackCookieLines(std::string& log);
// The Internet Explorer cookie folder; its length, 0 when it is not known.
int ReportIeCookieFolder(char* out, int capacity);
