// "Get Initial Values": first run, baseline, system records, options, counters.
#pragma once

void GetInitialValues();
// The approved copies of the watched settings, each taken when none exists yet (a step of
// GetInitialValues, and of tests).
void TakeSettingBaselines();
// The trace record that opens a monitor session, with the version text.
void TraceBeginKestrix();
