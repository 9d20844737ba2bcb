// Data an earlier build kept in the program folder, taken to where this build keeps it.
#pragma once

// The history and the disabled startup items move to the user's data folder when they are
// still in the program folder (the history is copied when it cannot be moved); items that
// cannot move stay where the inventory and the enable action still find them. Items parked
// by an earlier build stay too: their history lines name them there. The number of files
// that moved or were copied.
int AdoptEarlierData();
