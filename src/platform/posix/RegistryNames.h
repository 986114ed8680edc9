// Key and value names of the SQLite registry store: the case folding that makes
// them case-insensitive, and the rules a name and a key path must follow.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vornak::platform::posix {

// The name in folded case, used to compare names and as the stored lookup key.
// Simple (one code point to one code point) Unicode case folding, so "Straße"
// and "STRASSE" stay different names as on Windows; bytes that are not valid
// UTF-8 are kept as they are.
std::string foldName(std::string_view name);

// A key path split into its names. Returns false when the path is not valid:
// an empty name (leading or doubled backslash), a name longer than
// kMaxKeyNameLength bytes, or a NUL byte. One trailing backslash is allowed
// and ignored, as RegCreateKeyEx allows it. The empty path has no names.
bool splitKeyPath(std::string_view path, std::vector<std::string_view>& names);

bool isValidValueName(std::string_view name);

}  // namespace vornak::platform::posix
