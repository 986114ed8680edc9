// Reads the registry file formats: regedit's version 5 and REGEDIT4 files and the
// registry files of a Wine prefix (system.reg, user.reg, userdef.reg).
#pragma once

#include <string>
#include <string_view>

#include "registry/RegFileModel.h"

namespace vornak::registry {

// Parses a whole file. Throws RegFileError naming the first faulty line; nothing
// is returned for a file with any fault. `fileName` (without folder) only helps a
// Wine file that does not say which root it belongs to.
RegFileContent parseRegFile(std::string_view bytes, const std::string& fileName = {});

}  // namespace vornak::registry
