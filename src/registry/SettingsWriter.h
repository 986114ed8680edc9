// Several values of one key written together, for the settings saved when the
// main window closes: one transaction, and a short wait for a store that
// another program is changing instead of one long wait per value.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/RegistryStore.h"

namespace vornak {

// A text value (written as REG_SZ) or a flag (REG_DWORD 1 or 0).
struct SettingValue {
    std::string name;
    std::string text;
    bool isFlag = false;
    bool flag = false;
};

// Writes every value below `keyPath` (as the registry access functions take
// it) of the root named by `rootCode`, creating the key, all or none of them.
// Ok, Busy when the store stayed in use for `patience`, or why it failed; for
// a failure of the store itself (a full disk) its reason goes to `failure`.
platform::RegStatus WriteRegValues(const std::string& rootCode, const std::string& keyPath,
                                   const std::vector<SettingValue>& values,
                                   std::chrono::milliseconds patience,
                                   std::string* failure = nullptr);

}  // namespace vornak
