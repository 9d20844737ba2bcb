// What the answers do at the value places: the known copy of each value (what a No puts
// back), the copy of a removed value (what a restore from the history puts back), both kept
// exactly as they were (type and bytes), and the first start's adoption of what is there.
#pragma once
#include "keys.h"
#include "valueplaces.h"

#define KX_PLACES_KEY KX_KEY "\\Places"
#define KX_PLACES_REMOVED_KEY KX_KEY "\\Places\\Removed"

// 1 when the value is as it was approved, or all of it is what Windows ships there.
int IsPlaceValueKnown(const PlaceValue& value);
// The value as it is becomes the known copy; 1 when stored.
int ApprovePlaceValue(const PlaceValue& value);
// A value the place does not ask about (first seen where only changes are asked about, or
// switched off where only switching on is) becomes known without a question; 1 when it did.
int KeepQuietPlaceValue(const PlaceValue& value);
// The value at an item of a place as it is now; false when missing.
bool ReadPlaceValue(int code, const char* item, PlaceValue* out);
// No: the present value is copied aside and written to the history, then the known copy is
// put back (or, when nothing was known there, the value switched off where the place has a
// switch, else deleted). 1 when done.
int RejectPlaceValue(int code, const char* item);
// Restore from the history: the removed copy goes back exactly and becomes known.
int RestorePlaceValue(int code, const char* item);
// Once: every value present is known (the first start of a build that guards the places).
// 1 when it adopted now.
int AdoptValuePlaces();
