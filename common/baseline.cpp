// Placeholder bodies until the baseline lands.
#include "baseline.h"

int RecordFirstSeen(const char*, const char*) { return 0; }
int GetFirstSeenDate(const char*, int, char* out, int capacity) { if (capacity > 0) out[0] = 0; return 0; }
void MakeBaseline() {}
void InitRegStartups() {}
void CreateInitialValues() {}
void RebuildLists() {}
void InitServicesList() {}
void InitHiddenList() {}
void RecordRunningTasks() {}
void StartBaseline() {}
void CheckDataVersion() {}
