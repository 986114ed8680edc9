// Key and value names of the stores of our own (SQLite, Wine prefix): the case
// folding that makes them case-insensitive, as Windows compares them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryStore.h"

namespace vornak::platform::posix {

// The name in folded case, used to compare names and as the stored lookup key.
// Simple (one code point to one code point) Unicode case folding, so "Straße"
// and "STRASSE" stay different names as on Windows; bytes that are not valid
// UTF-8 are kept as they are.
std::string foldName(std::string_view name);

// The name rules are the platform layer's own (RegistryStore.h).
using platform::isValidValueName;
using platform::splitKeyPath;

}  // namespace vornak::platform::posix
