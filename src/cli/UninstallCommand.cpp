// vornak uninstall: runs a registration's uninstall command through the same
// launcher as the window's Uninstall, and waits for it. Several keys, or
// --quiet, make a batch: one after another, each to its end, with their quiet
// commands when asked, and the ones that failed or stayed listed named at the end.
#include <algorithm>
#include <iostream>
#include <optional>

#include "actions/EntryRegistry.h"
#include "actions/QuietCommand.h"
#include "actions/UninstallBatch.h"
#include "actions/UninstallCommandLine.h"
#include "cli/Command.h"
#include "inventory/Inventory.h"
#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"
#include "platform/RegistryStore.h"
#include "registry/SilentAbort.h"

namespace vornak::cli {
namespace {

const char* const kName = "vornak uninstall: ";
const char* const kUsage = "uninstall KEY [KEY ...] [--quiet] [--root LM|CU]";

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

// The row the list shows for `key`, or why there is none.
std::optional<UninstallEntry> findRow(const Inventory& inventory, const std::string& key,
                                      const std::vector<std::string>& roots, std::string& why) {
    const auto wanted = [&](const std::string& rootCode) {
        return std::find(roots.begin(), roots.end(), rootCode) != roots.end();
    };
    for (const Place& place : kPlaces) {
        if (!wanted(place.rootCode))
            continue;
        const std::string prefix = std::string(place.keyPath) + "\\";
        for (const UninstallEntry& row : inventory.master()) {
            if (row.rootCode == place.rootCode &&
                row.keyPath.compare(0, prefix.size(), prefix) == 0 && names(key, row))
                return row;
        }
    }
    // Not listed: say whether it is there without a command.
    for (const Place& place : kPlaces) {
        if (!wanted(place.rootCode) || key.find('\\') != std::string::npos)
            continue;
        const std::string keyPath = std::string(place.keyPath) + "\\" + key;
        if (actions::keyExists(place.rootCode, keyPath)) {
            why = std::string(place.rootCode) + "\\" + key + " has no uninstall command";
            return std::nullopt;
        }
    }
    const std::string where = roots.size() == 1 ? roots[0] : std::string("LM or CU");
    why = "no registration " + key + " below " + where;
    return std::nullopt;
}

// Progress on stdout, so a long batch shows where it is.
class ConsoleBatchHost final : public actions::BatchHost {
  public:
    void runStarting(size_t index, size_t total, const std::string& caption) override {
        std::cout << index + 1 << " of " << total << ": " << caption << std::endl;
    }
};

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

int runBatch(const Inventory& inventory, const std::vector<std::string>& keys,
             const std::vector<std::string>& roots, bool quiet) {
    std::vector<std::string> unknown;
    EntryList rows;
    for (const std::string& key : keys) {
        std::string why;
        // A registration named twice runs once.
        if (auto row = findRow(inventory, key, roots, why)) {
            if (std::find(rows.begin(), rows.end(), *row) == rows.end())
                rows.push_back(*row);
        } else
            unknown.push_back(why);
    }
    auto items = actions::batchItems(rows, quiet, *platform::defaultFileSystem());
    for (size_t i = 0; quiet && i < items.size(); ++i) {
        if (items[i].command.empty())
            continue;
        const auto kind = actions::quietCommand(rows[i], *platform::defaultFileSystem()).kind;
        std::cout << rows[i].caption << " (" << actions::quietKindName(kind)
                  << "): " << items[i].command << std::endl;
    }
    ConsoleBatchHost host;
    actions::UninstallBatch batch(std::move(items), platform::defaultProcessLauncher());
    auto results = batch.run(host);
    actions::markStillListed(results);

    std::vector<std::string> notStarted, noQuiet, stillListed;
    for (const auto& r : results) {
        if (r.outcome == actions::BatchOutcome::NotStarted)
            notStarted.push_back(r.item.caption + " (" + r.item.command + ": " + r.error + ")");
        else if (r.outcome == actions::BatchOutcome::NoQuietCommand)
            noQuiet.push_back(r.item.caption);
        else if (r.stillListed)
            stillListed.push_back(r.item.caption);
    }
    for (const std::string& why : unknown)
        std::cerr << kName << why << "\n";
    if (!noQuiet.empty())
        std::cerr << kName << "no quiet command, not run: " << listed(noQuiet) << "\n";
    if (!notStarted.empty())
        std::cerr << kName << "could not be started: " << listed(notStarted) << "\n";
    if (!stillListed.empty())
        std::cerr << kName << "still registered: " << listed(stillListed) << "\n";
    std::cerr << std::flush;
    return unknown.empty() && noQuiet.empty() && notStarted.empty() && stillListed.empty() ? 0 : 1;
}

int runUninstall(const Args& args) {
    std::vector<std::string> keys;
    bool quiet = false;
    std::vector<std::string> roots{"LM", "CU"};
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h" || a == "/?") {
            std::cout << "usage: vornak " << kUsage
                      << "\n  KEY: the registration's key name, or its key path as 'vornak list' "
                         "prints it\n  --quiet: run each one's quiet command (its "
                         "QuietUninstallString, or one derived for Windows Installer, NSIS and "
                         "Inno Setup uninstallers); one without is not run\n  --root: only below "
                         "HKEY_LOCAL_MACHINE (LM) or HKEY_CURRENT_USER (CU)\n  Several keys run "
                         "one after another; the exit code is 1 when any could not be started or "
                         "is still registered afterwards\n"
                      << std::flush;
            return 0;
        }
        if (a == "--quiet") {
            quiet = true;
        } else if (a == "--root") {
            if (i + 1 >= args.size())
                return fail(std::string(kName) + "--root needs LM or CU");
            std::string root = args[++i];
            for (char& c : root)
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 'a' + 'A');
            if (root != "LM" && root != "CU")
                return fail(std::string(kName) + "--root takes LM or CU, not '" + args[i] + "'");
            roots = {root};
        } else if (!a.empty() && a[0] != '-') {
            keys.push_back(a);
        } else {
            return fail(std::string(kName) + "unknown argument '" + a + "'");
        }
    }
    if (keys.empty())
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
    if (quiet || keys.size() > 1)
        return runBatch(inventory, keys, roots, quiet);

    std::string why;
    const auto row = findRow(inventory, keys.front(), roots, why);
    if (!row)
        return fail(kName + why);
    const std::string command = actions::commandToRun(*row);
    std::string error;
    auto process = platform::defaultProcessLauncher()->start(command, &error);
    if (!process)
        return fail(kName + command + " could not be started: " + error);
    process->wait();
    process->close();
    return 0;
}

const Command uninstallCommand("uninstall", kUsage, runUninstall);

}  // namespace
}  // namespace vornak::cli
