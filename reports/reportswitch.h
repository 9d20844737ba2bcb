// The explorer's command-line form for administrators and scripts: "-WriteLog <path>"
// writes the hijack scan log, "-WriteList <path>" the saved list, "-WriteReport <path>" the
// HTML report, and the program ends without showing a window.
#pragma once

// 1 when the command line asked for a report (exitCode is then 0 on success, 1 on failure,
// with the reason on standard error, or in a message box when there is none); 0 otherwise.
int RunReportSwitch(const char* commandLine, int* exitCode);
