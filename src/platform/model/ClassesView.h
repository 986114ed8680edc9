// The registry model: the registry as 64-bit Windows shows it, for the stores
// of our own, which keep only keys. The SQLite store and the Wine prefix store
// are seen through this merged HKEY_CLASSES_ROOT, and every store, Windows'
// too, through the 32-bit view of Wow64View.h on request. The Win32 store
// needs no merging: Windows itself builds HKEY_CLASSES_ROOT from the two
// Classes keys. Wine's link keys are followed by the prefix store, the only
// store that has them.
//
// HKEY_CLASSES_ROOT as 64-bit Windows makes it: no root of its own, but the
// merged view of HKLM\Software\Classes and HKCU\Software\Classes, for stores
// that keep only the machine and user roots.
#pragma once

#include <memory>

#include "platform/RegistryStore.h"

namespace vornak::platform::posix {

// Serves HKEY_CLASSES_ROOT from `inner`'s two Classes keys; every other root
// goes to `inner` untouched. Reads: a key exists when either copy does, its
// subkeys and values are those of both, and where both hold a value of one
// name the user's wins. Writes: a value goes to the user's copy when there is
// one, else to the machine's; a new key is made below HKLM\Software\Classes;
// deleting a value or key takes the user's copy first.
std::unique_ptr<RegistryAccessor> withMergedClasses(std::unique_ptr<RegistryAccessor> inner);

}  // namespace vornak::platform::posix
