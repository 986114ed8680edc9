#include "actions/EntryDeletion.h"

#include <stdexcept>

#include "actions/ChangeBackup.h"
#include "actions/EntryRegistry.h"
#include "inventory/Inventory.h"
#include "language/MessageCatalogue.h"
#include "platform/Dialogs.h"
#include "platform/RegistryStore.h"
#include "registry/RegistryAccess.h"

namespace vornak::actions {

void SletClick(Inventory& inventory, int selectedRow, platform::Dialogs& dialogs) {
    const auto& rows = inventory.visible();
    if (selectedRow < 0 || static_cast<size_t>(selectedRow) >= rows.size())
        throw SilentAbort();
    // A copy: while the question is open a finished uninstaller may rebuild the
    // list, and the row at that index may then be another registration.
    const UninstallEntry entry = rows[static_cast<size_t>(selectedRow)];

    // Wine would overwrite the deletion with what it holds: no question whose
    // Yes cannot be carried out.
    if (const auto store = platform::defaultRegistryStore();
        store->isWinePrefix() && !store->writeRefusal().empty()) {
        dialogs.showError(
            formatMessage(Msg::fmtPrefixNoChange, {store->location(), store->location()}));
        return;
    }
    if (!dialogs.askYesNo(messages().get(Msg::msgDeleteEntryQuestion),
                          messages().get(Msg::msgConfirmCaption)))
        return;
    dialogs.showMessage(entry.rootCode);

    // The way back first: without it the key stays.
    backUpKey(entry.rootCode, entry.keyPath, Msg::msgBackupDeleted, entry.caption);
    DeleteRegKey(entry.rootCode, entry.keyPath);
    if (keyExists(entry.rootCode, entry.keyPath)) {
        throw std::runtime_error(
            formatMessage(Msg::fmtEntryNotDeleted,
                          {entry.caption, changeRefusal(entry.rootCode, entry.keyPath)}));
    }
    inventory.removeEntry(entry.rootCode, entry.keyPath);
}

}  // namespace vornak::actions
