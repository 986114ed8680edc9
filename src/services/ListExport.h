// The list export: the names the visible list shows, in the order shown, as a
// text file of the user's choosing.
#pragma once

#include <string>

#include "inventory/Inventory.h"

namespace vornak::platform {
class Dialogs;
class FileSystem;
}  // namespace vornak::platform

namespace vornak::services {

// One line per row holding its caption, every line ended by CR LF; nothing for
// no rows.
std::string exportedListText(const EntryList& rows);

// EksporterListeClick: takes the rows' names, asks for the file (filter
// `filter`, extension "txt", asking before an existing file is replaced) and
// writes it whole into the chosen file, through a link and keeping its
// permissions (FileSystem::writeFileThrough). A file that cannot be written
// throws std::runtime_error naming it and saying why; Cancel writes nothing.
void exportList(const EntryList& rows, const std::string& filter, platform::Dialogs& dialogs,
                const platform::FileSystem& fs);

}  // namespace vornak::services
