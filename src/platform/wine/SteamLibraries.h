// Steam's library folders, as its steamapps/libraryfolders.vdf lists them.
#pragma once

#include <string>
#include <vector>

namespace vornak::platform::posix {

// The library paths of a libraryfolders.vdf text (Valve's KeyValues format):
// the "path" of each entry of the "libraryfolders" block, and in the older
// form the numbered entries' values themselves. Empty for a text that is not
// such a file; what follows a syntax error is not used.
std::vector<std::string> parseSteamLibraryFolders(const std::string& text);

// The library folders that `steamRoot`/steamapps/libraryfolders.vdf lists
// (a regular file of at most 1 MB; anything else gives none).
std::vector<std::string> steamLibraryFolders(const std::string& steamRoot);

}  // namespace vornak::platform::posix
