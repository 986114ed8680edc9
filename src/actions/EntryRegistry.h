// Looking at a registration's key without changing it, and putting into words
// why a change to it did not take: what the entry actions need to tell a
// deletion or a write that failed from one that worked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vornak::actions {

// Whether the key exists; a missing key is not created.
bool keyExists(const std::string& rootCode, const std::string& keyPath);
// Whether the key holds a value of that name; nothing is created.
bool valueExists(const std::string& rootCode, const std::string& keyPath,
                 const std::string& valueName);
// The registry type of the value, or -1 when there is none (nothing is created).
long valueType(const std::string& rootCode, const std::string& keyPath,
               const std::string& valueName);
// The value when it is a REG_DWORD of four bytes; nothing is created.
std::optional<uint32_t> dwordValue(const std::string& rootCode, const std::string& keyPath,
                                   const std::string& valueName);
// Why the key cannot be changed, as the store tells it ("Access is denied."):
// the reason of this thread's last failed write when the store gave one.
std::string changeRefusal(const std::string& rootCode, const std::string& keyPath);
// A value's name as messages show it: the empty name is the default value.
std::string shownValueName(const std::string& valueName);

}  // namespace vornak::actions
