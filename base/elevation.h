// Whether this process holds an administrator's full rights.
#pragma once

// 1 when the process token is elevated, or the system has no split token (Windows before
// Vista, Wine): what only administrators may write can be tried directly.
int IsElevated();
// Tests: the answer IsElevated gives (1 or 0); -1 asks the system again.
void SetElevatedOverride(int elevated);
