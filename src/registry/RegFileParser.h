// Reads the registry file formats: regedit's version 5 and REGEDIT4 files and the
// registry files of a Wine prefix (system.reg, user.reg, userdef.reg).
#pragma once

#include <string>
#include <string_view>

#include "registry/RegFileModel.h"
#include "registry/RegFileText.h"

namespace vornak::registry {

// Text becomes our 8-bit data (UTF-8): "..." text of any file is stored as its
// UTF-8 bytes plus a NUL; hex(1), hex(2) and hex(7) data of a version 5 or Wine
// file are UTF-16LE and are converted to UTF-8 (see RegFileText.h for bytes that
// are not UTF-8); in a REGEDIT4 file they are 8-bit already and kept as they are.
// An 8-bit file that is not valid UTF-8 is read as Windows-1252.
//
// Parses a whole file. Throws RegFileError naming the first faulty line; nothing
// is returned for a file with any fault. `fileName` (without folder) only helps a
// Wine file that does not say which root it belongs to.
RegFileContent parseRegFile(std::string_view bytes, const std::string& fileName = {});
// The same, giving up the bytes as soon as they are decoded, so a large file is
// not held twice while it is parsed.
RegFileContent parseRegFileTaking(std::string&& bytes, const std::string& fileName = {});
RegFileContent parseRegFileText(const DecodedText& decoded, const std::string& fileName = {});

}  // namespace vornak::registry
