// vornak reg delete: a key with everything below it, one value, or all values.
#include <iostream>
#include <optional>
#include <vector>

#include "cli/RegCommand.h"
#include "registry/RegFileStore.h"

namespace vornak::cli::reg {
namespace {

using platform::RegStatus;

const char* const kNoTerminal = " without /f when standard input is not a terminal.";

}  // namespace

int remove(const Args& args) {
    KeyName key;
    if (args.empty() || looksLikeOption(args[0]))
        return syntaxError("delete");
    if (!parseKeyName(args[0], key) || key.path.empty())
        return fail(kInvalidKey);

    std::optional<std::string> valueName;
    bool defaultValue = false, allValues = false, force = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool valueChosen = valueName || defaultValue || allValues;
        if (isOption(a, "v") && !valueChosen && i + 1 < args.size()) {
            valueName = args[++i];
        } else if (isOption(a, "ve") && !valueChosen) {
            defaultValue = true;
        } else if (isOption(a, "va") && !valueChosen) {
            allValues = true;
        } else if (isOption(a, "f") && !force) {
            force = true;
        } else {
            return syntaxError("delete");
        }
    }

    if (valueName && !isValidValueName(*valueName))
        return fail(kInvalidValueName);
    auto acc = openAccessor();
    std::unique_ptr<platform::RegKey> handle;
    RegStatus st = acc->openKey(key.root, key.path, platform::RegAccess::Read, handle);
    if (st != RegStatus::Ok)
        return statusError(st, *acc);

    if (valueName || defaultValue) {
        const std::string name = valueName.value_or("");
        const std::string shown = name.empty() ? "(Default)" : name;
        platform::RegValue old;
        st = acc->queryValue(*handle, name, old);
        if (st != RegStatus::Ok)
            return valueStatusError(st, *acc);
        if (!force && !confirm("Delete the registry value " + shown + " (Yes/No)?",
                               "ERROR: The value " + shown + " is not deleted" + kNoTerminal))
            return 1;
        handle.reset();
        st = acc->openKey(key.root, key.path, platform::RegAccess::Full, handle);
        if (st != RegStatus::Ok)
            return statusError(st, *acc);
        st = acc->deleteValue(*handle, name);
        if (st != RegStatus::Ok)
            return valueStatusError(st, *acc);
    } else if (allValues) {
        if (!force &&
            !confirm("Delete all values under the registry key " + key.full() + " (Yes/No)?",
                     "ERROR: The values are not deleted" + std::string(kNoTerminal)))
            return 1;
        handle.reset();
        st = acc->openKey(key.root, key.path, platform::RegAccess::Full, handle);
        if (st != RegStatus::Ok)
            return statusError(st, *acc);
        std::vector<std::string> names;
        for (uint32_t i = 0;; ++i) {
            platform::RegValue v;
            st = acc->enumValue(*handle, i, v);
            if (st == RegStatus::NotFound)
                break;
            if (st != RegStatus::Ok)
                return statusError(st, *acc);
            names.push_back(v.name);
        }
        registry::TransactionGuard transaction(*acc, {key.root});
        for (const auto& name : names) {
            st = acc->deleteValue(*handle, name);
            if (st != RegStatus::Ok)
                return statusError(st, *acc);
        }
        transaction.commit();
    } else {
        handle.reset();
        if (!force && !confirm("Permanently delete the registry key " + key.full() + " (Yes/No)?",
                               "ERROR: The key is not deleted" + std::string(kNoTerminal)))
            return 1;
        registry::TransactionGuard transaction(*acc, {key.root});
        st = registry::deleteKeyTree(*acc, key.root, key.path);
        if (st != RegStatus::Ok)
            return statusError(st, *acc);
        transaction.commit();
    }
    std::cout << kSuccess << std::endl;
    return 0;
}

}  // namespace vornak::cli::reg
