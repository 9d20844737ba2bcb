// Undoing an action the history remembers: each reversible event goes back through the
// action that reverses it.
#pragma once

// True when the event at index of the history read last can be reversed.
int IsHistoryEventReversible(int index);
// Registers an add-on's server again (regsvr32, silently); 1 when the tool started.
int ReRegisterHelper(const char* command);
// Reverses the event at index by its action, then reads the history again (the reversal
// wrote a line of its own). Returns the result of the reversing operation.
int RestoreHistoryEvent(int index);
