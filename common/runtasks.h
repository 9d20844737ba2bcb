// Running tasks: one entry per running program file.
#pragma once

// Fills the entry list with the running programs (type INFO_TASK); returns the count.
int ListRunningTasks();
