// vornak prefixes: the Wine prefixes in the usual places, each with the number
// of programs registered in it as `vornak list --prefix` would count them.
#include <iostream>

#include "cli/Command.h"
#include "inventory/Inventory.h"
#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"
#include "platform/WinePrefix.h"
#include "registry/SilentAbort.h"

namespace vornak::cli {
namespace {

int runPrefixes(const Args& args) {
    if (!args.empty()) return fail("vornak prefixes: unknown argument '" + args[0] + "'");
    for (const std::string& dir : platform::findWinePrefixes()) {
        auto store = platform::openPrefixRegistryStore(dir);
        std::string count;
        try {
            store->check();
            platform::setDefaultRegistryStore(store);
            Inventory inventory;
            inventory.setFileSystem(platform::makeFileSystem(platform::prefixDriveMap(dir)));
            inventory.RefreshInventory();
            count = std::to_string(inventory.master().size());
        } catch (const platform::RegistryStoreError& e) {
            count = std::string("unreadable: ") + e.what();
        } catch (const SilentAbort&) {
            count = "unreadable";
        }
        std::cout << count << '\t' << dir
                  << (platform::prefixServerRunning(dir) ? "\t(Wine is running)" : "") << '\n';
    }
    std::cout.flush();
    return std::cout ? 0 : 1;
}

const Command prefixesCommand("prefixes", "prefixes", runPrefixes);

}  // namespace
}  // namespace vornak::cli
