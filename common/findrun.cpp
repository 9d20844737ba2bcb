// Placeholder until the startup inventory lands.
#include "findrun.h"
#include "entrylist.h"

int BuildStartupList(int) { ClearEntries(); return 0; }
void BuildRun() {}
int GetStartupGroup() { return 0; }
void GetWinPrograms() {}
void GetDisabledPrograms() {}
void GetWinLogon_Userinit() {}
void BuildRegInfo() {}
