// The 2-second tick: delayed-start schedule, patrol pass and task-change check.
#pragma once

void MonitorTick();
// One pass over one half of the categories (returns at once inside an alert or a pass).
void PatrolPass();
// "Check for Task Change": a changed number of running tasks makes the next tick a pass.
void CheckTaskChange();
