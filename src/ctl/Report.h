// quillanctl's output: a readable text, or one JSON object.
#pragma once

#include <string>

#include "ctl/Engine.h"
#include "ctl/Json.h"

namespace ctl {

Json InventoryJson(const Inventory& inventory, const std::vector<std::string>& createdFolders,
                   int exitStatus);
std::string InventoryText(const Inventory& inventory,
                          const std::vector<std::string>& createdFolders);

Json ChangeJson(const char* command, const ChangeReport& report);
std::string ChangeText(const ChangeReport& report);

// The JSON answer to a command that could not run (usage, unexpected failure).
Json ErrorJson(const std::string& message, int exitStatus);

}  // namespace ctl
