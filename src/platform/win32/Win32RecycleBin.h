// The Recycle Bin: where a file removed by the user can be taken back from.
#pragma once

#include <string>

namespace vornak::platform::win32 {

// Moves the file (or link) at the full host path into the Recycle Bin, with no
// window shown; `error` says why not.
bool moveToRecycleBin(const std::string& hostPath, std::string& error);

}  // namespace vornak::platform::win32
