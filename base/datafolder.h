// The program's data folder under the user's application data, and its vault.
#pragma once

// "<AppData>\Kestrix", created with its "vault" subfolder when missing; the program
// folder when AppData is unknown or the vault cannot be made. The length.
int GetProgramDataFolder(char* out, int capacity);
