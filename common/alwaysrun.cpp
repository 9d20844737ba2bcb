// Placeholder bodies until the monitor's autostart value lands.
#include "alwaysrun.h"

void AddAlwaysRun() {}
void RemoveAlwaysRun() {}
