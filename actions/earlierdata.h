// Data an earlier build kept in the program folder or HKCU, taken to where this build keeps it.
#pragma once

// The history and the disabled startup items move to the user's data folder when they are
// still in the program folder (the history is copied when it cannot be moved); items that
// cannot move stay where the inventory and the enable action still find them. Items parked
// by an earlier build stay too: their history lines name them there. The number of files
// that moved or were copied, with the file-type snapshots below.
int AdoptEarlierData();

// Snapshots of the machine's file types an earlier build (or a copy without the rights to
// the machine's folder) kept under HKCU move to the machine's data folder when it may be
// written; the number moved. Those that cannot move are still read where they are.
int AdoptEarlierClassSnapshots();
