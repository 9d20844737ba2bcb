#include "placeactions.h"
#include "addedcategories.h"
#include "entrylist.h"
#include "handles.h"
#include "history.h"
#include "registry.h"
#include <vector>

namespace {

// Known and removed copies are named by code and item: one per value of a place.
std::string CopyName(int code, const std::string& item) { return std::to_string(code) + "|" + item; }

bool ReadRaw(HKEY root, const std::string& path, const std::string& name, REGSAM view,
             DWORD* type, std::string* data)
{
    return ReadRegBytes(root, path.c_str(), name.c_str(), view, type, data);
}

bool WriteRaw(HKEY root, const std::string& path, const std::string& name, REGSAM view, DWORD type,
              const std::string& data)
{
    if (IsRegistryWriteBlocked(root))
        return false;
    RegKey key;
    if (!key.create(root, path.c_str(), view))
        return false;
    LONG rc = RegSetValueExA(key.get(), name.c_str(), 0, type, (const BYTE*)data.data(),
                             (DWORD)data.size());
    // Kept for the refusal the caller reports.
    SetLastError((DWORD)rc);
    return rc == ERROR_SUCCESS;
}

bool Locate(int code, const char* item, HKEY* root, std::string* path, std::string* name,
            REGSAM* view)
{
    const ValuePlace* place = ValuePlaceOfCode(code, view);
    if (!place || !PlaceItemLocation(code, item, path, name))
        return false;
    *root = place->root;
    return true;
}

}   // namespace

int IsPlaceValueKnown(const PlaceValue& value)
{
    if (IsWindowsOwnValue(value.code, value.type, value.data))
        return 1;
    DWORD type = REG_NONE;
    std::string data;
    return ReadRaw(HKEY_CURRENT_USER, KX_PLACES_KEY, CopyName(value.code, value.item), 0, &type,
                   &data) &&
           type == value.type && data == value.data;
}

int ApprovePlaceValue(const PlaceValue& value)
{
    return WriteRaw(HKEY_CURRENT_USER, KX_PLACES_KEY, CopyName(value.code, value.item), 0,
                    value.type, value.data);
}

int KeepQuietPlaceValue(const PlaceValue& value)
{
    DWORD type = REG_NONE;
    std::string data;
    bool known = ReadRaw(HKEY_CURRENT_USER, KX_PLACES_KEY, CopyName(value.code, value.item), 0, &type,
                         &data);
    return IsPlaceValueQuiet(value, known) && ApprovePlaceValue(value);
}

bool ReadPlaceValue(int code, const char* item, PlaceValue* out)
{
    HKEY root;
    REGSAM view;
    if (!Locate(code, item, &root, &out->path, &out->name, &view))
        return false;
    out->code = code;
    out->item = item;
    return ReadRaw(root, out->path, out->name, view, &out->type, &out->data);
}

int RejectPlaceValue(int code, const char* item)
{
    HKEY root;
    REGSAM view;
    std::string path, name;
    PlaceValue present;
    if (!Locate(code, item, &root, &path, &name, &view) || !ReadPlaceValue(code, item, &present))
        return 0;
    // The copy first: a value that cannot be kept is not taken away.
    const std::string copy = CopyName(code, item);
    if (!WriteRaw(HKEY_CURRENT_USER, KX_PLACES_REMOVED_KEY, copy, 0, present.type, present.data))
        return 0;
    DWORD knownType = REG_NONE;
    std::string known;
    bool putBack = ReadRaw(HKEY_CURRENT_USER, KX_PLACES_KEY, copy, 0, &knownType, &known);
    std::string off;
    if (!putBack && PlaceSwitchedOff(present, &off)) {
        putBack = true;
        knownType = present.type;
        known = off;
    }
    int done = putBack ? WriteRaw(root, path, name, view, knownType, known)
                       : DeleteRegValue(root, path.c_str(), name.c_str(), view);
    if (!done)
        return 0;
    char location[512];
    ValuePlaceLocation(code, location, sizeof(location));
    WriteHistoryLine(item, PlaceDataText(code, present.type, present.data).c_str(), location, code,
                     ACT_START_REMOVE);
    return 1;
}

int RestorePlaceValue(int code, const char* item)
{
    HKEY root;
    REGSAM view;
    std::string path, name;
    DWORD type = REG_NONE;
    std::string data;
    if (!Locate(code, item, &root, &path, &name, &view) ||
        !ReadRaw(HKEY_CURRENT_USER, KX_PLACES_REMOVED_KEY, CopyName(code, item), 0, &type, &data))
        return 0;
    if (!WriteRaw(root, path, name, view, type, data))
        return 0;
    // Known, so that the monitor takes it back without an alert.
    PlaceValue restored;
    restored.code = code;
    restored.item = item;
    restored.type = type;
    restored.data = data;
    ApprovePlaceValue(restored);
    return 1;
}

int AdoptValuePlaces()
{
    char mark[16];
    if (GetRegValue(HKEY_CURRENT_USER, KX_ADOPTED_KEY, "ValuePlaces", mark, sizeof(mark)) > 0)
        return 0;
    for (const PlaceValue& value : ReadValuePlaces())
        if (!IsPlaceValueKnown(value) && !ApprovePlaceValue(value))
            return 0;   // tried again at the next check rather than asking about all of it
    SetRegValue(HKEY_CURRENT_USER, KX_ADOPTED_KEY, "ValuePlaces", "1");
    return 1;
}
