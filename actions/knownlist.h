// A known-entry list written as a whole: the values it should hold, in write order, and the
// test whether a key already holds exactly them. Writing only what differs keeps a start
// from rewriting thousands of values it has just written.
#pragma once
#include <string>
#include <unordered_map>
#include <vector>

struct KnownValues {
    struct Value {
        std::string name, text;
    };
    std::vector<Value> values;
    std::unordered_map<std::string, size_t> byName;   // RegNameKey -> index in values
};

// As a write of text under name would leave the list: a later write of a name the registry
// takes for the same replaces the text but keeps the name as first written.
void AddKnownValue(KnownValues* list, const char* name, const char* text);

// The value name of a command in the known startup list: "=" becomes ":".
void StartupKeyName(const char* command, char* out /*260*/);

// Writes (HKCU, REG_SZ) every value the key does not already hold as it is; never removes.
void WriteKnownValues(const char* listKey, const KnownValues& list);
// 1 when the key (HKCU) holds exactly the list's values as REG_SZ texts and no subkeys.
int KnownListHolds(const char* listKey, const KnownValues& list);
