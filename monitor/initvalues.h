// "Get Initial Values": first run, baseline, system records, options, counters.
#pragma once

void GetInitialValues();
// The trace record that opens a monitor session, with the version text.
void TraceBeginKestrix();
