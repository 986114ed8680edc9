#include "app/StoreCheck.h"

#include "platform/Dialogs.h"
#include "platform/RegistryStore.h"

namespace vornak::app {

bool reportDamagedRegistryStore(platform::Dialogs& dialogs) {
    try {
        platform::defaultRegistryStore()->check();
        return true;
    } catch (const platform::RegistryStoreError& e) {
        dialogs.showError(e.what());
        return false;
    }
}

}  // namespace vornak::app
