// The hijack scan log: one line per place where software hooks the system or the browser,
// each opened by its section code, then the system's own findings and memory figures.
#pragma once

// Writes the log to path (replacing it); 1 when written.
int WriteHijackScanLogTo(const char* path);
// HijackKestrix.log in the program folder, written and opened with the shell; 1 when written.
int WriteHijackScanLog();
