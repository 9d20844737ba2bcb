// What the monitor keeps of each driver it knows: the start type and the ImagePath as they
// were answered, by key name, so that a driver made to start earlier or to load another file
// is asked about again; and what No and the history's restore do to a driver's start type.
#pragma once
#include "keys.h"
#include <string>

#define KX_DRIVER_STATES_KEY KX_KEY "\\Drivers"

// "<start>|<ImagePath>" of the driver as it is now; empty when its key cannot be read.
std::string DriverStateText(const char* keyName);
// The present state becomes the known one; 1 when stored.
int RememberDriverState(const char* keyName);
// 1 when a state is known and the present one differs in what is asked about: the ImagePath,
// or a start type other than disabled (switching a driver off is no danger to ask about).
int DriverStateChanged(const char* keyName);
// 1 when a state is known for the key.
int DriverStateKnown(const char* keyName);
// The "Start" number of a service key; -1 when missing or not a number.
int ReadDriverStart(const char* keyName);
// No: the driver is disabled (when not already) and the start type it had before the question,
// previousStart, goes into the history for the restore. 1 when the driver ends disabled.
int RefuseDriver(const char* title, const char* command, const char* keyName, int previousStart);
// Restore from the history: the start type an event's source holds goes back, and the state is
// known again. 1 when written.
int RestoreDriverStart(const char* source);
