// Categories this build guards that earlier builds did not: the machine's 32-bit registry view
// (Run keys, hooks, helper objects), the tasks of the Task Scheduler 2.0 and the drivers. Their entries go
// into the known lists the earlier builds kept (Run, IEHelpers, Tasks), which an upgraded
// installation holds without them: asked about one by one, a Windows 10 machine would raise
// hundreds of alerts for what it had all along. So the first start of this build takes each
// such category's present state as known, silently and once; the categories the earlier build
// guarded are checked as before, so a change made to them meanwhile is still asked about.
#pragma once
#include "keys.h"

// One value per added category, named as below, written once the category's present state is
// in its known list. A category without its value has never been baselined by this build.
#define KX_ADOPTED_KEY KX_KEY "\\Adopted"

// Also, once: the services list of an earlier build, kept by display name, gains the key name of
// each present service it knew ("ServiceKeys").
// Baselines every added category whose value is missing, then writes the value. A category
// whose known list already holds entries of it (a build that guarded it before the values
// were kept) is only marked: what that build knew stands and what it did not is asked about.
// listsMadeNow: the known lists were just made from the present state (a first start), so
// every category is only marked.
void AdoptAddedCategories(int listsMadeNow);
