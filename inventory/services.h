// Services: the ones that run a program file of their own or a library in the shared service
// host, and the few questions the programs ask the service control manager about one of them.
// Single-service operations take the service's key name (the entry's key): display names are
// not unique, and a service can take any display name it likes.
#pragma once
#include <windows.h>
#include <string>
#include <unordered_map>

#define KX_SERVICES_ROOT "SYSTEM\\CurrentControlSet\\Services"

// Fills the entry list (types SERVICE_EXE, SERVICE_SVCHOST, and DRIVER_SERVICE when the
// "ShowDrivers" option is on); the count is the list length.
int ListServices();
// Type text of a driver entry (its tag is the service type): "Kernel driver" or "File system
// driver"; an empty text when the string cannot be loaded.
std::string DriverKindText(int serviceType);
// As ListServices, with the drivers whatever the option: the monitor guards them all.
int ListServicesAndDrivers();
int ListServiceEntries(bool drivers);
// The drivers alone, whatever the option (the reports list them after the services).
int ListDrivers();
// The file a driver's ImagePath names, as the loader reads it: "\SystemRoot\" and a path
// without a drive are under the Windows folder, a "\??\" prefix is dropped.
std::string DriverFilePath(const char* image);

// Current state in the high 16 bits, the low 16 bits of the service type in the low ones;
// 0 when the state cannot be obtained (a stopped service fails the interrogation).
DWORD ServiceState(const char* keyName);
// As ServiceState; the text is string 652..658 of the state ("Stopped" when unknown).
DWORD ServiceStateText(const char* keyName, char* out, int capacity /*256*/);
// States of every service the manager knows, by upper-case key name, read in
// one call: a report over a thousand services asks once instead of several round trips (and,
// for a service the manager does not know, a walk over every key) per service.
struct ServiceStateTable {
    bool read = false;
    std::unordered_map<std::string, DWORD> states;
    // Each state's text, loaded once: a report asks for it per service.
    mutable std::unordered_map<DWORD, std::string> texts;
};
void ReadServiceStates(ServiceStateTable* table);
// As ServiceStateText, answered from the table (asked of the manager when it could not be read).
DWORD ServiceStateTextIn(const ServiceStateTable& table, const char* keyName, char* out,
                         int capacity /*256*/);
// Controls the service accepts; 0 when it cannot be interrogated.
DWORD ServiceAcceptedControls(const char* keyName);
// Display name of a service key (buffer 4096); 1 when the service was found.
int ServiceDisplayName(const char* keyName, char* out, int capacity);
// Description of the first service whose program file is path; its length, 0 when none.
int ServiceDescriptionByPath(const char* path, char* out, int capacity /*1024*/);

// Text of an indirect "@file,-id" string (display names and descriptions of newer systems);
// 1 when it was resolved. Plain texts are copied unchanged.
int ResolveIndirectText(const char* text, char* out, int capacity);
