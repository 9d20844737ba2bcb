// First start on this user account: the key skeleton and the date of the first run.
#pragma once

// True when HKCU Software\Orvane\Kestrix has no readable default value yet.
int IsFirstRun();
// Creates the key skeleton in its order and stores the date and time as the default
// value. The caller then creates the initial baseline values.
void CreateKeySkeleton();
