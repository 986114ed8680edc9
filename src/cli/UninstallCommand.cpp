// vornak uninstall: runs a registration's uninstall command through the same
// launcher as the window's Uninstall, and waits for it.
#include <algorithm>
#include <iostream>
#include <optional>

#include "actions/EntryRegistry.h"
#include "actions/UninstallCommandLine.h"
#include "cli/Command.h"
#include "inventory/Inventory.h"
#include "platform/ProcessLauncher.h"
#include "platform/RegistryStore.h"
#include "registry/SilentAbort.h"

namespace vornak::cli {
namespace {

const char* const kName = "vornak uninstall: ";
const char* const kUsage = "uninstall KEY [--root LM|CU]";

std::string folded(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Where the list takes its rows from, in the order a bare key name is looked for.
struct Place {
    const char* rootCode;
    const char* keyPath;
};
const Place kPlaces[] = {
    {"LM", kUninstallKeyPath}, {"LM", kUninstallKeyPath32}, {"CU", kUninstallKeyPath}};

// Whether `key` (a key name, or a key path as `vornak list` prints it, with or
// without the leading backslash) names the row's registration.
bool names(const std::string& key, const UninstallEntry& row) {
    const std::string path = folded(row.keyPath);
    const std::string wanted = folded(key);
    if (wanted.find('\\') != std::string::npos)
        return path == wanted || path == "\\" + wanted;
    return path.substr(path.rfind('\\') + 1) == wanted;
}

int runUninstall(const Args& args) {
    std::optional<std::string> key;
    std::vector<std::string> roots{"LM", "CU"};
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h" || a == "/?") {
            std::cout << "usage: vornak " << kUsage
                      << "\n  KEY: the registration's key name, or its key path as 'vornak list' "
                         "prints it\n  --root: only below HKEY_LOCAL_MACHINE (LM) or "
                         "HKEY_CURRENT_USER (CU)\n"
                      << std::flush;
            return 0;
        }
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
        } else if (!key && !a.empty() && a[0] != '-') {
            key = a;
        } else {
            return fail(std::string(kName) + "unknown argument '" + a + "'");
        }
    }
    if (!key)
        return fail(std::string("usage: vornak ") + kUsage);

    // The rows the list shows (every registration with a command), so the
    // same key takes the same registration here as there.
    Inventory inventory;
    try {
        inventory.RefreshInventory();
    } catch (const SilentAbort&) {
        try {
            platform::defaultRegistryStore()->check();
        } catch (const platform::RegistryStoreError& e) {
            return fail(kName + std::string(e.what()));
        }
        return fail(std::string(kName) + "the uninstall keys cannot be read with full access");
    }
    const auto wanted = [&](const std::string& rootCode) {
        return std::find(roots.begin(), roots.end(), rootCode) != roots.end();
    };
    for (const Place& place : kPlaces) {
        if (!wanted(place.rootCode))
            continue;
        const std::string prefix = std::string(place.keyPath) + "\\";
        for (const UninstallEntry& row : inventory.master()) {
            if (row.rootCode != place.rootCode ||
                row.keyPath.compare(0, prefix.size(), prefix) != 0 || !names(*key, row))
                continue;
            const std::string command = actions::commandToRun(row);
            std::string error;
            auto process = platform::defaultProcessLauncher()->start(command, &error);
            if (!process)
                return fail(kName + command + " could not be started: " + error);
            process->wait();
            process->close();
            return 0;
        }
    }
    // Not listed: say whether it is there without a command.
    for (const Place& place : kPlaces) {
        if (!wanted(place.rootCode) || key->find('\\') != std::string::npos)
            continue;
        const std::string keyPath = std::string(place.keyPath) + "\\" + *key;
        if (actions::keyExists(place.rootCode, keyPath))
            return fail(kName + std::string(place.rootCode) + "\\" + *key +
                        " has no uninstall command");
    }
    std::string where = roots.size() == 1 ? roots[0] : std::string("LM or CU");
    return fail(std::string(kName) + "no registration " + *key + " below " + where);
}

const Command uninstallCommand("uninstall", kUsage, runUninstall);

}  // namespace
}  // namespace vornak::cli
