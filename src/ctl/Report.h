// quillanctl's output: a readable text, or one JSON object.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ctl/Engine.h"

namespace ctl {

// Objects keep their fields in the order they are written.
using Json = nlohmann::ordered_json;

// `list --json`: the printed document, as DumpJson prints one.
// `failedFolders`: the inactive folders the check could not create.
std::string InventoryJsonText(const Inventory& inventory,
                              const std::vector<std::string>& createdFolders, int exitStatus,
                              const std::vector<FolderFailure>& failedFolders = {});
std::string InventoryText(const Inventory& inventory,
                          const std::vector<std::string>& createdFolders,
                          const std::vector<FolderFailure>& failedFolders = {});

Json ChangeJson(const char* command, const ChangeReport& report);
std::string ChangeText(const ChangeReport& report);

// The JSON answer to a command that could not run (usage, unexpected failure).
Json ErrorJson(const std::string& message, int exitStatus);

// The document as printed: indented by 2, one line feed at the end.
std::string DumpJson(const Json& document);

}  // namespace ctl
