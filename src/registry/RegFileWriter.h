// Writes keys and values as a regedit version 5 file: UTF-16LE with BOM, CR LF
// line ends, long hex data wrapped as regedit wraps it.
//
// How our bytes map to the file (parseRegFile maps them back, text data with
// the NUL it ends in):
//  - REG_SZ as regedit writes it: the text up to its first NUL (all of it when
//    it has none) as "text" with \\ and \" escaped; what follows a NUL is not
//    written. Text that "..." cannot hold (bytes that are not UTF-8, line breaks):
//    hex(1): of the whole data's UTF-16LE form, which reads back to every byte.
//    An empty REG_SZ is "".
//  - REG_EXPAND_SZ and REG_MULTI_SZ: hex(2): / hex(7): of the UTF-16LE form of
//    their UTF-8 bytes, NULs included, as regedit writes them.
//  - REG_DWORD of exactly four bytes: dword:; every other type and size: hex(N):
//    of the raw bytes (hex: for REG_BINARY).
//  - Names: @ for the default value; a line break in a value name is written \n
//    or \r as Wine's regedit writes it (Windows' regedit has no way to say it).
#pragma once

#include <string>
#include <vector>

#include "registry/RegFileModel.h"

namespace vornak::registry {

// The file's bytes. A key whose name no registry file can hold (a line break or
// NUL in it), and with it everything below, is left out, as is a value whose
// name holds a NUL; their names (lineSafe) go into `leftOut` when given.
std::string writeRegFile(const std::vector<RegFileKey>& keys,
                         std::vector<std::string>* leftOut = nullptr);

// The same for keys that put what they name back as it was; see RegFileRestoreKey.
std::string writeRestoringRegFile(const std::vector<RegFileRestoreKey>& keys,
                                  std::vector<std::string>* leftOut = nullptr);

// One value as its line(s) of text after the name and "=", without line end;
// wrapped lines are joined by "\\\r\n  ". `firstColumn` is where the data starts.
std::string formatRegFileData(uint32_t type, const std::string& data, size_t firstColumn);

}  // namespace vornak::registry
