// The few entries of one security vendor that the checks let pass without asking: an
// installer's cleanup value that removes itself, and the vendor's update task. Each is known by
// its place and its program file in the vendor's folder, never by a title, which any program can
// take; passing one over never ends a check.
#pragma once
#include "entrylist.h"

// 1 for a startup entry that is the vendor's installer cleanup.
int IsVendorCleanupEntry(const EntryRecord& entry);
// 1 for a scheduled task that is the vendor's update task.
int IsVendorTask(const EntryRecord& entry);
