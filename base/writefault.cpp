#include "writefault.h"
#include <windows.h>

static int g_faultStep;
static int g_stepsSeen;

void SetWriteFault(int step)
{
    g_faultStep = step;
    g_stepsSeen = 0;
}

int WriteStepsSeen() { return g_stepsSeen; }

int WriteStepFails()
{
    g_stepsSeen++;
    if (g_faultStep <= 0 || g_stepsSeen != g_faultStep)
        return 0;
    // Each kind in turn: refused, locked, full.
    static const DWORD kErrors[] = {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_DISK_FULL};
    SetLastError(kErrors[g_faultStep % 3]);
    return 1;
}
