// Who signed a listed program, in the forms the reports print it.
#pragma once
#include <string>

// Publisher text of the program a command line names ("(Verified) <signer>", ...); company
// goes with an unsigned program. *alarming is set for a broken signature or a missing file.
std::string ReportPublisher(const char* command, const char* company, int* alarming = nullptr);
// Two blanks and the publisher text, to end a hijack-log line: a line's start is what readers
// and parsers of the log match on, so what is added goes last.
std::string HijackSignatureSuffix(const char* command);

// While one lives on a thread, that thread's report lines share one pass: each distinct
// program is resolved and checked once however many entries name it.
struct ReportSignatureScope {
    ReportSignatureScope();
    ~ReportSignatureScope();
    ReportSignatureScope(const ReportSignatureScope&) = delete;
    ReportSignatureScope& operator=(const ReportSignatureScope&) = delete;
    bool owner;
};
