// Registry access layer: every registry value the programs read or write goes through it.
// Results are 1/0 or a length; failures are silent apart from trace records.
#pragma once
#include <windows.h>

// Read buffer used by GetRegValue: longer values read as missing.
const int REG_READ_BUFFER = 1024;

int CreateRegKey(HKEY root, const char* path);
// Text of a REG_SZ / REG_EXPAND_SZ value (expanded) into buf; returns its length.
// Missing, unreadable or longer than capacity - 1: 0 and an empty buffer.
int GetRegValue(HKEY root, const char* path, const char* name, char* buf, int capacity);
int SetRegValue(HKEY root, const char* path, const char* name, const char* text);
int SetRegNumber(HKEY root, const char* path, const char* name, DWORD number);
// The first two bytes of the data as a 16-bit number; 0 when missing.
int GetRegNumber(HKEY root, const char* path, const char* name);
int DeleteRegValue(HKEY root, const char* path, const char* name);

// Tests: make every write through this layer under one root fail, as for a user
// without rights to it. nullptr lifts the block.
void SetRegistryWriteBlock(HKEY root);
int IsRegistryWriteBlocked(HKEY root);
