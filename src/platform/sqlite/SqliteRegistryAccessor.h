// The accessor of the SQLite registry store: key handles, the registry calls
// as statements on the store files, read snapshots and groups of changes.
#pragma once

#include <array>
#include <cstddef>
#include <memory>

#include "platform/RegistryStore.h"
#include "platform/sqlite/RegistryStoreFile.h"

namespace vornak::platform::posix {

enum FileIndex : size_t { kMachineFile = 0, kUserFile = 1, kFileCount = 2 };
using StoreFiles = std::array<std::shared_ptr<RegistryStoreFile>, kFileCount>;

std::unique_ptr<RegistryAccessor> makeSqliteAccessor(StoreFiles files);
// Finishes, or takes back, a change of both files that was cut short (by a
// crash); does nothing when there is none or the store is busy.
void settlePendingChanges(StoreFiles files);

}  // namespace vornak::platform::posix
