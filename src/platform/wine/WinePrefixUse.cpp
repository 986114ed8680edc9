// Which registry, drives and launcher the program manages: the machine's own
// or a Wine prefix's, switched together so they never disagree.
#include <mutex>
#include <optional>

#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"
#include "platform/RegistryStore.h"
#include "platform/WinePrefix.h"

namespace vornak::platform {
namespace {

struct Managed {
    std::shared_ptr<RegistryStore> store;
    std::shared_ptr<FileSystem> fs;
    std::shared_ptr<ProcessLauncher> launcher;
};

std::mutex g_mutex;
std::optional<Managed> g_machine;
std::optional<std::string> g_active;

}  // namespace

// Off Windows the host is the machine, or the prefix $VORNAK_WINEPREFIX names.
std::shared_ptr<FileSystem> hostFileSystem() {
    if (const std::string prefix = configuredWinePrefix(); !prefix.empty())
        return prefixFileSystem(prefix);
    return machineFileSystem();
}

std::shared_ptr<ProcessLauncher> hostProcessLauncher() {
    return prefixProcessLauncher(configuredWinePrefix());
}

void useWinePrefix(const std::string& prefixDir) {
    std::lock_guard lock(g_mutex);
    if (!g_machine) {
        const bool onMachine = (g_active ? *g_active : configuredWinePrefix()).empty();
        // The settings store is the machine's own in either case.
        g_machine = onMachine ? Managed{defaultRegistryStore(), defaultFileSystem(),
                                        defaultProcessLauncher()}
                              : Managed{settingsRegistryStore(), machineFileSystem(),
                                        prefixProcessLauncher({})};
        setSettingsRegistryStore(g_machine->store);
    }
    if (prefixDir.empty()) {
        setDefaultRegistryStore(g_machine->store);
        setDefaultFileSystem(g_machine->fs);
        setDefaultProcessLauncher(g_machine->launcher);
    } else {
        setDefaultRegistryStore(openPrefixRegistryStore(prefixDir));
        setDefaultFileSystem(prefixFileSystem(prefixDir));
        setDefaultProcessLauncher(prefixProcessLauncher(prefixDir));
    }
    g_active = prefixDir;
}

std::string activeWinePrefix() {
    std::lock_guard lock(g_mutex);
    return g_active ? *g_active : configuredWinePrefix();
}

void resetWinePrefixUse() {
    std::lock_guard lock(g_mutex);
    if (g_machine) {
        setDefaultRegistryStore(g_machine->store);
        setDefaultFileSystem(g_machine->fs);
    }
    g_machine.reset();
    g_active.reset();
    setSettingsRegistryStore(nullptr);
    setDefaultProcessLauncher(nullptr);
}

}  // namespace vornak::platform
