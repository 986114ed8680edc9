// The backup an entry action takes of a registration's key before it changes
// it: nothing is changed without one.
#pragma once

#include <string>

#include "language/MessageCatalogue.h"

namespace vornak::actions {

// Writes the key tree of `keyPath` below the root `rootCode` (as it is now)
// into the backups folder, named after `what` and `label`. Raises
// std::runtime_error with fmtBackupNotWritten, which the command dispatch
// shows, when the backup cannot be written.
void backUpKey(const std::string& rootCode, const std::string& keyPath, Msg what,
               const std::string& label);

}  // namespace vornak::actions
