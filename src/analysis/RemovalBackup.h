// What a log-driven removal is about to change in the registry, as the keys
// of a backup that puts it back: the values it deletes or writes as they are
// now (or their removal, where there is none yet), the keys it may delete,
// and the removal of the keys it will create.
#pragma once

#include <vector>

#include "analysis/LogReplay.h"
#include "registry/RegFileModel.h"

namespace vornak::analysis {

std::vector<registry::RegFileRestoreKey> removalImage(const AnalysisLogEntries& entries,
                                                      platform::RegistryAccessor& registry);

}  // namespace vornak::analysis
