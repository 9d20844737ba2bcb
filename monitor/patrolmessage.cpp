#include "patrolmessage.h"
#include "alertevents.h"
#include "monitorseams.h"
#include "program.h"
#include "resstring.h"
#include "trace.h"

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
