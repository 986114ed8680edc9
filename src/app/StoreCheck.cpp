#include "app/StoreCheck.h"

#include "language/MessageCatalogue.h"
#include "platform/Dialogs.h"
#include "platform/RegistryStore.h"
#include "platform/WinePrefix.h"

namespace vornak::app {

bool reportDamagedRegistryStore(platform::Dialogs& dialogs) {
    try {
        platform::defaultRegistryStore()->check();
        // Wine keeps a running prefix's registry in memory and saves it later.
        if (const std::string prefix = platform::activeWinePrefix();
            !prefix.empty() && platform::prefixServerRunning(prefix))
            dialogs.showMessage(formatMessage(Msg::fmtPrefixBusy, {prefix}));
        return true;
    } catch (const platform::RegistryStoreError& e) {
        dialogs.showError(e.what());
        return false;
    }
}

}  // namespace vornak::app
