// The eight registry functions through which the windows read and write the
// registry. Each call is complete in itself: its own accessor, one key opened
// (created when absent) with full access, one operation, everything released.
// A read refused full access opens the key for reading instead (it cannot then
// create a missing key); writes always need full access.
//   Read kind  (ReadRegString, ReadRegBool, GetRegKeyNames, GetRegValueNames):
//     any failure raises SilentAbort.
//   Write kind (WriteRegString, WriteRegBool, DeleteRegValue, DeleteRegKey):
//     never raise; they return whether they succeeded.
// Arguments: root code ("CR", "CU", "LM", "U", "CC", any letter case), key path
// ("\SOFTWARE\..." with a leading backslash), value name, value.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryStore.h"
#include "registry/SilentAbort.h"

namespace vornak {

using NameList = std::vector<std::string>;

// The program's settings key below HKEY_LOCAL_MACHINE.
inline constexpr const char* kSettingsKeyPath = "\\SOFTWARE\\Vornak\\Uninstaller\\";

std::string ReadRegString(const std::string& rootCode, const std::string& keyPath,
                          const std::string& valueName);
bool ReadRegBool(const std::string& rootCode, const std::string& keyPath,
                 const std::string& valueName);
NameList GetRegKeyNames(const std::string& rootCode, const std::string& keyPath);
NameList GetRegValueNames(const std::string& rootCode, const std::string& keyPath);

bool WriteRegString(const std::string& rootCode, const std::string& keyPath,
                    const std::string& valueName, const std::string& value);
bool WriteRegBool(const std::string& rootCode, const std::string& keyPath,
                  const std::string& valueName, bool value);
bool DeleteRegValue(const std::string& rootCode, const std::string& keyPath,
                    const std::string& valueName);
bool DeleteRegKey(const std::string& rootCode, const std::string& keyPath);

// Why the last write-kind call of this thread failed in the store itself: the
// file and the system's reason ("No space left on device"). Empty when it did
// not fail so. The calls themselves answer only true or false, as their
// callers expect; a window that reports a failure asks this for its reason.
std::string LastRegWriteFailure();

// The root a root code selects, compared case-insensitively; nullopt when unknown.
std::optional<platform::RegRoot> rootFromCode(const std::string& rootCode);

// The store that holds `keyPath` (backslashes at its ends allowed) of `root`:
// the settings store for the program's settings key, the default store else.
// Null for a read of settings kept apart from the default store that has never
// been written: reading them must not make a store where there is none yet.
std::shared_ptr<platform::RegistryStore> storeForKey(platform::RegRoot root,
                                                     const std::string& keyPath,
                                                     bool forWriting);

}  // namespace vornak
