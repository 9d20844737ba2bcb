// The browser watches of the real-time set: the policy and offered-extension keys and every
// profile folder and the folders holding them, each a change for the add-on check.
#pragma once
#include <windows.h>

// Calls key(root, path, view) for every key and folder(path) for every profile folder and
// every folder that holds profiles.
void AddBrowserWatches(void (*key)(HKEY root, const char* path, REGSAM view),
                       void (*folder)(const char* path));

// The profile folders made since the watches were armed (named now by Local State or
// profiles.ini): each handed to folder(path) once; the count.
int AddNewBrowserProfileWatches(void (*folder)(const char* path));

// Whether the settings files of a profile folder (Preferences, Secure Preferences,
// extensions.json, prefs.js, user.js) or the profile lists of a browser's folder (Local
// State, profiles.ini) differ in size or time from when last asked (a folder
// not asked about before counts as changed).
bool BrowserProfileChanged(const char* folder);
