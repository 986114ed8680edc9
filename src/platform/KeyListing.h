// A key's subkey and value listings as a store keeps them between calls, for
// stores whose host answers a listing whole (one SQLite query, one walk of a
// Win32 key) while the interface enumerates by index: a walk asks for every
// index of every key, and one read per index would dominate it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/RegistryStore.h"

namespace vornak::platform {

// Listings are read whole and then served by index. Index 0 reads again,
// unless queryInfo has just read them; a change made through the key clears
// the fresh flag, so the next walk sees it. The store's own loaders fill the
// lists and set the loaded flags.
class KeyListing {
  public:
    mutable std::vector<std::string> subkeys;
    mutable bool subkeysLoaded = false;
    mutable bool subkeysFresh = false;
    mutable std::vector<RegValue> values;
    mutable bool valuesLoaded = false;
    mutable bool valuesFresh = false;

    // queryInfo: `loadBoth` reads both listings afresh.
    template <class LoadBoth>
    RegStatus info(RegKeyInfo& info, LoadBoth&& loadBoth) const {
        if (RegStatus status = loadBoth(); status != RegStatus::Ok)
            return status;
        valuesFresh = subkeysFresh = true;
        // Lengths in bytes of the program's text, as the interface counts them.
        info.subkeyCount = static_cast<uint32_t>(subkeys.size());
        for (const auto& name : subkeys)
            info.maxSubkeyNameLength =
                std::max(info.maxSubkeyNameLength, static_cast<uint32_t>(name.size()));
        info.valueCount = static_cast<uint32_t>(values.size());
        for (const auto& value : values)
            info.maxValueNameLength =
                std::max(info.maxValueNameLength, static_cast<uint32_t>(value.name.size()));
        return RegStatus::Ok;
    }

    // enumKey: `load` reads the subkey listing.
    template <class Load>
    RegStatus subkey(uint32_t index, std::string& name, Load&& load) const {
        if (!subkeysLoaded || (index == 0 && !subkeysFresh))
            if (RegStatus status = load(); status != RegStatus::Ok)
                return status;
        subkeysFresh = false;
        if (index >= subkeys.size())
            return RegStatus::NotFound;
        name = subkeys[index];
        return RegStatus::Ok;
    }

    // enumValue: `load` reads the value listing.
    template <class Load>
    RegStatus value(uint32_t index, RegValue& value, Load&& load) const {
        if (!valuesLoaded || (index == 0 && !valuesFresh))
            if (RegStatus status = load(); status != RegStatus::Ok)
                return status;
        valuesFresh = false;
        if (index >= values.size())
            return RegStatus::NotFound;
        value = values[index];
        return RegStatus::Ok;
    }
};

}  // namespace vornak::platform
