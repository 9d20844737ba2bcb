// "Get Initial Values": first run, baseline, system records, options, counters.
#pragma once

void GetInitialValues();
// "Get Initial Values", before anything slow: the approved copies of the automatic-update
// setting (0 when the machine has none), the address prefix and the start, search and desktop
// pages, each taken when none exists yet. Taken at start, not at a first check, so that a
// change in the first minute is asked about like any other.
void TakeSettingBaselines();
// The trace record that opens a monitor session, with the version text.
void TraceBeginKestrix();
