// The freedesktop.org trash: where a file removed by the user can be taken
// back from in every file manager. A file goes to the trash on its own file
// system: the user's ($XDG_DATA_HOME/Trash) when that is the one, else the
// mount's $topdir/.Trash-$uid.
#pragma once

#include <ctime>
#include <string>

namespace vornak::platform {

// Moves `leaf` of the open folder `folderFd` into the trash, with the
// .trashinfo file that names where it came from and when. `where`: the trash
// folder it went to; `error`: why not (the entry is then where it was).
bool moveToTrash(int folderFd, const std::string& leaf, std::string& where, std::string& error);

// The text of a .trashinfo file for the absolute host path `path`.
std::string trashInfoText(const std::string& path, std::time_t deleted);

}  // namespace vornak::platform
