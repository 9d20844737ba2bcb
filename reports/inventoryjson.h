// Every inventory the manager lists, as UTF-8 JSON for management tools ("-Inventory"), and the
// comparison of two such inventories ("-Compare"). Each entry is told whatever a page's hide
// option would show.
#pragma once
#include <string>
#include <vector>

// One entry, its texts in UTF-8.
struct InventoryEntry {
    std::string category, location, title, command, programFile, version, company, firstSeen;
    bool disabled = false;
};

struct Inventory {
    std::string computer, user, time, kestrixVersion;
    std::vector<InventoryEntry> entries;
};

// Reads every inventory of this machine now.
Inventory TakeInventory();
// The JSON text of an inventory.
std::string InventoryJson(const Inventory& inventory);
// Parses an inventory file's text; 0 with the reason in error when it is not one.
int ParseInventoryJson(const std::string& text, Inventory* inventory, std::string* error);

// Categories that are listed but not compared: they come and go while the machine runs.
bool IsPassingCategory(const std::string& category);
// The differences from before to after, one line each: "added {...}", "removed {...}" and
// "changed {...}", every text a JSON string, so no name can forge a line.
std::vector<std::string> CompareInventories(const Inventory& before, const Inventory& after);
