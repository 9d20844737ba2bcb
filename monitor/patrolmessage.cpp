#include "patrolmessage.h"
#include "actionevents.h"
#include "alertevents.h"
#include "monitorseams.h"
#include "options.h"
#include "program.h"
#include "refusal.h"
#include "resstring.h"
#include "trace.h"
#include "writefault.h"

static PatrolMessageSeam g_seam;

void SetPatrolMessageSeam(PatrolMessageSeam seam) { g_seam = seam; }

int PatrolMessage(const char* text, const char* caption, UINT flags)
{
    g_traceAlertMark = 1;
    if (!caption)
        caption = g_programCaption;
    ReportMessageShown(caption, text);
    int answer = g_seam ? g_seam(text, caption, flags | MB_TOPMOST)
                        : MessageBoxExA(nullptr, text, caption, flags | MB_TOPMOST, (WORD)uiLanguage);
    ReportMessageAnswer(caption, text, answer);
    return answer;
}

void TellActionRefused(int action, int type, const char* title, const char* command, DWORD error)
{
    // A task's answer comes as an HRESULT; the message reads Windows' own code.
    if ((error & 0x80000000) && HRESULT_FACILITY(error) == FACILITY_WIN32)
        error = HRESULT_CODE(error);
    DWORD reason = LastWriteRefusal() ? LastWriteRefusal() : error;
    ReportActionRefused(action, type, title, command, reason);
    if (!reason)
        reason = ERROR_GEN_FAILURE;
    ClearWriteRefusal();
    NoteWriteRefusal(reason);
    char text[1200];
    int said = suppressAlerts <= 1 && RefusalText(text, sizeof(text));
    ClearWriteRefusal();
    if (said)
        PatrolMessage(text, nullptr, MB_OK | MB_ICONEXCLAMATION);
}
