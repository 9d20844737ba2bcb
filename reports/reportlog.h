// The report log: every inventory's entries with their version texts, as an HTML page with
// a system-information block (option Format 0) or as tab-separated text.
#pragma once
#include <string>

// Writes the report to path in the given form (html 1 or text 0); 1 when written.
int WriteReportLogTo(const char* path, int html);
// The system-information block; html selects "<br>" line ends, bold labels and escaping.
void SystemInformation(std::string& out, int html);
