#include "signaturetext.h"
#include "signature.h"

static thread_local SignaturePass* t_pass;

ReportSignatureScope::ReportSignatureScope() : owner(t_pass == nullptr)
{
    if (owner)
        t_pass = new SignaturePass;
}

ReportSignatureScope::~ReportSignatureScope()
{
    if (owner) {
        delete t_pass;
        t_pass = nullptr;
    }
}

std::string ReportPublisher(const char* command, const char* company, int* alarming)
{
    SignatureResult result;
    if (t_pass) {
        result = t_pass->Check(command);
    } else {
        SignaturePass pass;
        result = pass.Check(command);
    }
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
