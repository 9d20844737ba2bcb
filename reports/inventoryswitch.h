// The explorer's command-line form for management tools: "-Inventory <file.json>" writes every
// inventory as JSON, "-Compare <old.json> [<new.json>]" prints what changed from the old
// inventory to the new one (or to the machine as it is now). No window is shown; errors go to
// standard error.
#pragma once

// Exit codes of -Compare; -Inventory ends with 0 written, 2 not.
enum CompareExit { COMPARE_SAME = 0, COMPARE_CHANGED = 1, COMPARE_ERROR = 2 };

// 1 when the command line asked for one of the two (exitCode is then set); 0 otherwise.
int RunInventorySwitch(const char* commandLine, int* exitCode);
