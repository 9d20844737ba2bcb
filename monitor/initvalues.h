// "Get Initial Values": first run, baseline, system records, options, counters.
#pragma once

void GetInitialValues();
// Its step that takes the approved copies of the automatic-update setting, the address prefix
// and the pages, each when none exists yet.
void TakeSettingBaselines();
// The trace record that opens a monitor session, with the version text.
void TraceBeginKestrix();
