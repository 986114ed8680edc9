// A registry entry of an analysis log taken apart as the removal reads it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/RegistryStore.h"

namespace vornak::analysis {

// Key entries begin with a tab.
struct RegistryEntry {
    bool isKey = false;
    platform::RegRoot root{};
    std::string keyPath;  // with the leading backslash, as messages show it
    std::string apiPath;  // without it, as the registry takes it ("" is the root)
    std::string rest;     // value entries: name, and TAB data when it has data
};

// nullopt for an entry with an unknown root or a key path with an empty part.
std::optional<RegistryEntry> parseRegistryEntry(std::string_view text);

}  // namespace vornak::analysis
