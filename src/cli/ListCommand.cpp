// vornak list: the inventory exactly as the main window builds and filters it.
#include <iostream>

#include "cli/CliLanguage.h"
#include "cli/Command.h"
#include "inventory/EmptyRegistryHint.h"
#include "inventory/Inventory.h"
#include "language/MessageCatalogue.h"
#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"
#ifndef _WIN32
#include "platform/WinePrefix.h"
#endif
#include "registry/RegFileText.h"
#include "registry/SilentAbort.h"

namespace vornak::cli {
namespace {

int runList(const Args& args) {
    bool dead = false, crap = false, showHidden = false, haveFilter = false;
    std::string filter;
#ifndef _WIN32
    std::string prefix = platform::configuredWinePrefix();
#endif
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--dead") {
            dead = true;
        } else if (a == "--crap") {
            crap = true;
        } else if (a == "--show-hidden") {
            showHidden = true;
#ifndef _WIN32
        } else if (a == "--prefix") {
            if (i + 1 >= args.size())
                return fail("vornak list: --prefix needs a folder");
            const std::string dir = args[++i];
            if (!platform::isWinePrefix(dir))
                return fail("vornak list: " + dir + " is not a Wine prefix (it has no system.reg)");
            platform::useWinePrefix(dir);
            prefix = dir;
#endif
        } else if (a == "--filter") {
            if (i + 1 >= args.size())
                return fail("vornak list: --filter needs a text");
            filter = args[++i];
            haveFilter = true;
        } else {
            return fail("vornak list: unknown argument '" + a + "'");
        }
    }

#ifndef _WIN32
    // Wine keeps its registry in memory while it runs and saves it later.
    if (!prefix.empty() && platform::prefixServerRunning(prefix))
        std::cerr << "vornak list: Wine is running in " << prefix
                  << "; its latest registry changes may not be listed yet\n";
#endif

    Inventory inventory;
    try {
        inventory.RefreshInventory();
    } catch (const SilentAbort&) {
        // The silent abort does not say why; a damaged store file must not pass
        // for a question of rights.
        try {
            platform::defaultRegistryStore()->check();
        } catch (const platform::RegistryStoreError& e) {
            return fail(std::string("vornak list: ") + e.what());
        }
        return fail("vornak list: the uninstall keys cannot be read with full access");
    }
    // As at the window's first activation: hidden.dat and "hidehidden".
    if (!showHidden) {
        inventory.startHiddenFilter();
        if (const std::string& why = inventory.hiddenListError(); !why.empty())
            std::cerr << formatMessage(Msg::fmtHiddenListNotRead, {why}) << std::endl;
    }
    inventory.setStartupDone();
    try {
        if (haveFilter)
            inventory.setFilterText(filter);
        if (dead)
            inventory.kundoedelinksClick();
        if (crap)
            inventory.kuncrapClick();
    } catch (const SilentAbort&) {
        // A special filter on an empty list: nothing to show.
    }

    // The key column is the registration's key path for every row, 32-bit ones
    // included, as `vornak uninstall` takes it.
    for (const auto& row : inventory.visible()) {
        // A tab or line break inside a field would forge fields and rows.
        std::cout << (row.statusImage == 1 ? "dead" : "ok") << '\t' << row.rootCode << '\t'
                  << registry::lineSafe(row.keyPath, true) << '\t'
                  << registry::lineSafe(row.caption, true) << '\t'
                  << registry::lineSafe(row.uninstallCommand, true) << '\n';
    }
    std::cout.flush();
    // An empty registry is no error, and scripts read stdout: the way to fill
    // it goes to the person at the terminal.
    if (inventory.registryEmpty()) {
        applyLanguage();
        EmptyRegistryContext context = currentEmptyRegistryContext(false);
#ifndef _WIN32
        const std::string programs = platform::defaultFileSystem()->toHostPath(
            platform::defaultFileSystem()->programFolder());
        context.prefixChoice = "vornak list --prefix FOLDER";
        context.exampleCommand = programs + "vornak-uninstaller --example";
#endif
        std::cerr << emptyRegistryHint(context) << std::endl;
    }
    return std::cout ? 0 : 1;
}

const Command listCommand("list",
                          "list [--prefix DIR] [--dead] [--crap] [--filter TEXT] [--show-hidden]",
                          runList);

}  // namespace
}  // namespace vornak::cli
