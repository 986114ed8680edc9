// Entry deletion: after the user's Yes, the registration's key goes with
// everything below it, and its row leaves the lists. A key that is still there
// afterwards is reported, and its row stays. The key is saved as a backup
// first; when that cannot be written nothing is deleted. While Wine runs in the prefix
// managed, nothing is asked: the user is told the prefix cannot be changed now.
#pragma once

namespace vornak {

class Inventory;
namespace platform {
class Dialogs;
}

namespace actions {

// SletClick for visible row `selectedRow` (-1: none, the silent abort). A key
// that survives the deletion raises std::runtime_error with fmtEntryNotDeleted,
// which the command dispatch shows in the general error box.
void SletClick(Inventory& inventory, int selectedRow, platform::Dialogs& dialogs);

}  // namespace actions
}  // namespace vornak
