// Command 6034 and the wininit check's Yes: the shared restart-command view over the monitor.
#include "monitorstate.h"
#include "restartview.h"
#include "startsteps.h"

void ShowRestartCommands() { ShowRestartCommandView(g_monitorWindow); }
