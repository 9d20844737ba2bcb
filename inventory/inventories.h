// The watched inventories beyond the startup entries, as the baseline and the history
// use them. Each fills the entry list (clearing it first) and returns the count.
#pragma once

// Browser helper objects, toolbars and extensions (types 900, 901, 902).
int ListBrowserAddOns();
// Scheduled tasks (type 800).
int ListScheduledTasks();
// Services (types 700, 701; 702, drivers, as services.h says).
int ListServices();
// Programs of the watched file type associations (type 400).
int ListFileTypePrograms();
// Hidden files in the system folders (type 370).
int ListHiddenFiles();
