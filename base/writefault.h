// Tests: a failure injected into one write step of the machine (a registry write, a file
// copy, move, delete or rewrite, a service change), as a user without rights, a locked file
// or a full disk would cause. Every writer of the registry layer and of the actions asks
// WriteStepFails() just before its step.
#pragma once

// The step-th write step from now fails (1 the next one); 0 lifts the fault. Counting
// starts again at each call.
void SetWriteFault(int step);
// Write steps asked about since the last SetWriteFault.
int WriteStepsSeen();
// 1 when this step must fail (the last error is set as the failure would set it).
int WriteStepFails();
