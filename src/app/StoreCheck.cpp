#include "app/StoreCheck.h"

#include "language/MessageCatalogue.h"
#include "platform/Dialogs.h"
#include "platform/RegistryStore.h"
#ifndef _WIN32
#include "platform/WinePrefix.h"
#endif

namespace vornak::app {

bool reportDamagedRegistryStore(platform::Dialogs& dialogs) {
    try {
        platform::defaultRegistryStore()->check();
#ifndef _WIN32
        // Wine keeps a running prefix's registry in memory and saves it later.
        if (const std::string prefix = platform::activeWinePrefix();
            !prefix.empty() && platform::prefixServerRunning(prefix))
            dialogs.showMessage(formatMessage(Msg::fmtPrefixBusy, {prefix}));
#endif
        return true;
    } catch (const platform::RegistryStoreError& e) {
        dialogs.showError(e.what());
        return false;
    }
}

}  // namespace vornak::app
