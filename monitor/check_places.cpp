// The value places' part of the startup check: a value that is neither known nor Windows' own
// is asked about (where the place asks only about changes or switching on, one that is
// neither becomes known unasked). Yes makes it known; No puts back what was known there (the value taken is
// copied aside first and written to the history, so that a restore brings it back).
#include "actionevents.h"
#include "alert.h"
#include "checks.h"
#include "entrylist.h"
#include "monitorstate.h"
#include "options.h"
#include "patrolask.h"
#include "placeactions.h"
#include "sounds.h"
#include "trace.h"

void CheckValuePlaces()
{
    // The first start of a build that guards them takes what is there as known.
    if (AdoptValuePlaces())
        return;
    // Read once; the alerts re-enter the message loop, and each value is looked at again
    // before it is asked about.
    for (const PlaceValue& read : ReadValuePlaces()) {
        PlaceValue value;
        if (IsPlaceValueKnown(read) || !ReadPlaceValue(read.code, read.item.c_str(), &value) ||
            IsPlaceValueKnown(value) || KeepQuietPlaceValue(value))
            continue;
        Trace("VERIFY", value.item.c_str());
        std::string shown = PlaceDataText(value.code, value.type, value.data);
        SetCurrentAlert(value.code, value.item.c_str(), shown.c_str());
        INT_PTR result = IDNO;
        if (suppressAlerts <= 1)
            result = AskAboutEntry(SOUND_STARTUP, shown.c_str(), "Startup", 161, 821,
                                   ALERT_STARTUP);
        // A step that did not take is reported with the system's reason.
        SetLastError(0);
        if (result == IDYES) {
            if (!ApprovePlaceValue(value))
                Trace("Value place not approved", value.item.c_str());
        } else if ((result == IDNO || result == ALERT_RESULT_DISABLE) &&
                   !RejectPlaceValue(value.code, value.item.c_str())) {
            ReportActionRefused(ACT_START_REMOVE, value.code, value.item.c_str(), shown.c_str(),
                                GetLastError());
        }
    }
}
