// The registry places where one value starts a program (image hijacks, boot and logon
// programs, packages loaded into system processes, providers, add-ins, class overrides), as
// one table read by one inventory. A place is a key, optionally each of its subkeys, and one
// value name or all values; a "?" part of the key stands for each subkey there. Each place has
// its own entry code (the 32-bit view's code is VALUE_PLACE_VIEW32 higher), type name, hijack
// log prefix and the data Windows itself ships, which is never asked about.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

const int VALUE_PLACE_FIRST = 1000;
const int VALUE_PLACE_VIEW32 = 100;

// How a place's data names its program.
enum PlaceData {
    PLACE_DATA_VALUE,        // as stored
    PLACE_DATA_PACKED_PATH,  // binary led by the provider's path as zero-ended text (Winsock)
};

// When a value not known yet is asked about.
enum PlaceAsk {
    PLACE_ASK_NEW,       // whenever it is not known
    PLACE_ASK_CHANGED,   // only when it differs from what was known: one first seen is known
    PLACE_ASK_ENABLED,   // only when it switches something on: one that is off is known
};

struct ValuePlace {
    const char* typeName;   // TypeName of the own view's code; "32" is added for the other
    const char* logPrefix;  // hijack log line prefix
    HKEY root;
    const char* key;
    bool eachSubkey;        // the value is read under every subkey of key
    const char* value;      // nullptr: every value
    bool bothViews;         // 64-bit Windows keeps the key apart for 32-bit programs
    char separator;         // text data listing several items (0: none; multi-strings always)
    const char* const* windowsOwn;   // items Windows ships (nullptr-ended); compared expanded
    // The names the first "?" of the key stands for (nullptr: every subkey there); those that
    // are no key are passed over.
    std::vector<std::string> (*firstNames)() = nullptr;
    PlaceData dataKind = PLACE_DATA_VALUE;
    PlaceAsk ask = PLACE_ASK_NEW;
};

int ValuePlaceCount();
const ValuePlace& ValuePlaceAt(int index);
// The place of a code, with its view (0 or KEY_WOW64_32KEY); nullptr for other codes.
const ValuePlace* ValuePlaceOfCode(int code, REGSAM* view);
inline int IsValuePlaceCode(int code)
{
    REGSAM view;
    return ValuePlaceOfCode(code, &view) != nullptr;
}
// "PLACE_..." names of the codes; 0 / nullptr when not a place.
const char* ValuePlaceTypeName(int code);
int ValuePlaceCodeOfName(const char* name);

// One value found at a place, raw.
struct PlaceValue {
    int code;
    std::string item;   // the entry title: "<subkey>", "<subkey>\<value>" or "<value>"
    std::string path;   // key path under the root
    std::string name;   // value name
    DWORD type = REG_NONE;
    std::string data;   // raw bytes
};

// Every value of every place, both views (the 32-bit view leaves out what the own view
// shows alike).
std::vector<PlaceValue> ReadValuePlaces();
// Key path and value name of an item of a code; false when the item does not fit the place.
bool PlaceItemLocation(int code, const char* item, std::string* path, std::string* name);
// The data as listed: text, multi-strings joined by "; ", numbers as 0x%08X, the provider's
// path of a packed item.
std::string PlaceDataText(int code, DWORD type, const std::string& data);
// 1 when the place asks about the value only on a change and nothing is known at its item
// (known: whether a copy is), or only when switched on and the value is off.
int IsPlaceValueQuiet(const PlaceValue& value, bool known);
// The data that switches a value of a PLACE_ASK_ENABLED place off, as the present one is
// stored; false for other places or data of no such kind.
bool PlaceSwitchedOff(const PlaceValue& value, std::string* off);
// The key to watch for a place: its key up to the first "?" part.
std::string ValuePlaceWatchKey(const ValuePlace& place);
// The key of a place with each "?" part replaced by name (tests and the watches).
std::string ValuePlaceSampleKey(const ValuePlace& place, const std::string& name);
// 1 when every item of the data is one Windows ships at the place.
int IsWindowsOwnValue(int code, DWORD type, const std::string& data);
// "HKLM\<key>\*  <value>" (with " (32-bit)") into out (512).
int ValuePlaceLocation(int code, char* out, int capacity);
// 1 for a value of a place whose files inside Windows' folder are neither listed nor logged
// (the services' DLLs: every service of Windows has one, and each is on the Services page
// with its service) that names such a file. Changes are asked about all the same.
int IsListedOnlyOutsideWindows(const PlaceValue& value);
// Appends an entry per value to the entry list (not cleared), leaving out Windows' own data;
// an entry's command is the file of the class its data names, where it names one. The count
// added.
int ListValuePlaces();
