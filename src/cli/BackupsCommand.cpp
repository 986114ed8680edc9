// vornak backups: the registry backups taken before the program's changes,
// listed and put back.
#include <iostream>

#include "cli/Command.h"
#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"
#include "registry/RegFileModel.h"
#include "registry/RegFileText.h"
#include "registry/RegistryBackup.h"

namespace vornak::cli {
namespace {

constexpr const char* kUsage = "backups list | restore NAME";

int runList() {
    const auto fs = platform::defaultFileSystem();
    for (const auto& backup : registry::listBackups(*fs, registry::backupsFolder(*fs)))
        std::cout << backup.name << '\n';
    std::cout.flush();
    return std::cout ? 0 : 1;
}

int runRestore(const std::string& name) {
    const auto fs = platform::defaultFileSystem();
    auto accessor = platform::defaultRegistryStore()->accessor();
    try {
        registry::restoreBackup(*fs, registry::backupsFolder(*fs), *accessor, name);
    } catch (const registry::RegFileError& e) {
        return fail("ERROR: " + name +
                    " was not restored, nothing was changed: " + registry::lineSafe(e.message()));
    } catch (const platform::RegistryStoreError& e) {
        return fail("ERROR: " + name + " was not restored: " + e.what());
    }
    std::cout << "The backup " << name << " has been restored." << std::endl;
    return 0;
}

int runBackups(const Args& args) {
    if (args.size() == 1 && args[0] == "list")
        return runList();
    if (args.size() == 2 && args[0] == "restore")
        return runRestore(args[1]);
    return fail(std::string("usage: vornak ") + kUsage);
}

const Command backupsCommand("backups", kUsage, runBackups);

}  // namespace
}  // namespace vornak::cli
