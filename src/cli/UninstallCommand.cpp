// vornak uninstall: runs a registration's uninstall command through the same
// launcher as the window's Uninstall, and waits for it.
#include <iostream>
#include <optional>

#include "actions/EntryRegistry.h"
#include "cli/Command.h"
#include "inventory/Inventory.h"
#include "platform/ProcessLauncher.h"
#include "registry/RegistryAccess.h"

namespace vornak::cli {
namespace {

const char* const kName = "vornak uninstall: ";

int runUninstall(const Args& args) {
    std::optional<std::string> key;
    std::vector<std::string> roots{"LM", "CU"};
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--root") {
            if (i + 1 >= args.size())
                return fail(std::string(kName) + "--root needs LM or CU");
            std::string root = args[++i];
            for (char& c : root)
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 'a' + 'A');
            if (root != "LM" && root != "CU")
                return fail(std::string(kName) + "--root takes LM or CU, not '" + args[i] + "'");
            roots = {root};
        } else if (!key && !a.empty() && a.find('\\') == std::string::npos) {
            key = a;
        } else {
            return fail(std::string(kName) + "unknown argument '" + a + "'");
        }
    }
    if (!key)
        return fail("usage: vornak uninstall KEY [--root LM|CU]");

    const std::string keyPath = std::string(kUninstallKeyPath) + "\\" + *key;
    for (const std::string& root : roots) {
        // Looked at before it is read: a read would create a key that is not there.
        if (!actions::keyExists(root, keyPath))
            continue;
        std::string command;
        try {
            command = ReadRegString(root, keyPath, "UninstallString");
        } catch (const SilentAbort&) {
            return fail(kName + root + "\\" + *key + ": the registration cannot be read");
        }
        if (command.empty())
            return fail(kName + root + "\\" + *key + " has no uninstall command");
        std::string error;
        auto process = platform::defaultProcessLauncher()->start(command, &error);
        if (!process)
            return fail(kName + command + " could not be started: " + error);
        process->wait();
        process->close();
        return 0;
    }
    std::string where = roots.size() == 1 ? roots[0] : std::string("LM or CU");
    return fail(std::string(kName) + "no registration " + *key + " below " + where);
}

const Command uninstallCommand("uninstall", "uninstall KEY [--root LM|CU]", runUninstall);

}  // namespace
}  // namespace vornak::cli
