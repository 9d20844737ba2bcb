#include "signaturetext.h"
#include "pathutil.h"
#include "signature.h"

std::string ReportPublisher(const char* command, const char* company, int* alarming)
{
    char program[260] = "";
    if (command && command[0] && GetProgramFile(command, program) > 0)
        FileExists(program, sizeof(program));
    SignatureResult result;
    GetFileSignature(program, &result);
    char text[300];
    PublisherText(result, company ? company : "", text, sizeof(text));
    if (alarming)
        *alarming = IsAlarmingSignature(result);
    return text;
}

std::string HijackSignatureSuffix(const char* command)
{
    return "  " + ReportPublisher(command, "");
}
