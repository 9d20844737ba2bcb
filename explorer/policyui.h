// How the manager shows an option a Group Policy sets: the control greyed, with a tooltip
// saying that it is managed. The tool sits on the dialog over the control's place, since a
// disabled control receives no mouse messages of its own.
#pragma once
#include <windows.h>

// Greys (managed) or enables the control and adds or removes its tooltip. 1 when managed.
int ShowManaged(HWND dialog, int controlId, int managed);
// Tests: the tooltip window of a dialog (nullptr when none was made).
HWND ManagedTooltip(HWND dialog);
