// vornak reg copy: the values of one key, and with /s everything below it, into
// another, as reg.exe copies them; all or nothing.
#include <iostream>
#include <vector>

#include "cli/RegCommand.h"
#include "platform/Console.h"
#include "registry/RegFileStore.h"
#include "registry/RegFileText.h"

namespace vornak::cli::reg {
namespace {

using platform::RegStatus;

std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

enum class Answer { Yes, No, All, Refused };

// reg.exe's question for a value the destination has already. Without a
// terminal nothing is asked and the copy is refused, so that it changes nothing.
Answer askOverwrite(const std::string& shown) {
    if (!platform::isTerminal(0)) {
        fail("ERROR: Value " + shown +
             " exists in the destination; without /f it is not overwritten when standard input "
             "is not a terminal, and nothing was copied.");
        return Answer::Refused;
    }
    for (;;) {
        std::cout << "Value " << shown << " exists, overwrite(Yes/No/All)? " << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            fail("The operation was cancelled by the user.");
            return Answer::Refused;
        }
        answer = lowerAscii(answer);
        if (answer == "y" || answer == "yes")
            return Answer::Yes;
        if (answer == "n" || answer == "no")
            return Answer::No;
        if (answer == "a" || answer == "all")
            return Answer::All;
    }
}

// The key `path` (below the root) with only its values, as readKeyTree gives a key.
RegStatus readValues(platform::RegistryAccessor& acc, const KeyName& name,
                     std::vector<registry::RegFileKey>& out) {
    std::unique_ptr<platform::RegKey> key;
    RegStatus st = acc.openKey(name.root, name.path, platform::RegAccess::Read, key);
    if (st != RegStatus::Ok)
        return st;
    registry::RegFileKey entry{name.root, name.path, {}};
    if ((st = platform::listValues(acc, *key, entry.values)) != RegStatus::Ok)
        return st;
    out.push_back(std::move(entry));
    return RegStatus::Ok;
}

}  // namespace

int copy(const Args& args) {
    if (args.size() < 2 || looksLikeOption(args[0]) || looksLikeOption(args[1]))
        return syntaxError("copy");
    bool recurse = false, force = false;
    for (size_t i = 2; i < args.size(); ++i) {
        if (isOption(args[i], "s") && !recurse)
            recurse = true;
        else if (isOption(args[i], "f") && !force)
            force = true;
        else
            return syntaxError("copy");
    }
    KeyName source, target;
    if (!parseKeyName(args[0], source) || !parseKeyName(args[1], target) || target.path.empty())
        return fail(kInvalidKey);
    if (source.root == target.root && lowerAscii(source.path) == lowerAscii(target.path))
        return fail("ERROR: The source and destination keys cannot be the same.");

    auto acc = openAccessor();
    // The whole source is read before anything is written, so a destination
    // below the source is copied once, not into itself again and again.
    std::vector<registry::RegFileKey> keys;
    std::vector<std::string> unreachable;
    const RegStatus read =
        recurse ? registry::readKeyTree(*acc, source.root, source.path, keys, &unreachable)
                : readValues(*acc, source, keys);
    if (read != RegStatus::Ok)
        return statusError(read, *acc);

    struct Planned {
        std::string path;  // below the destination's root
        std::vector<const platform::RegValue*> values;
    };
    std::vector<Planned> plan;
    for (const auto& key : keys) {
        const std::string relative =
            key.path.size() > source.path.size()
                ? key.path.substr(source.path.empty() ? 0 : source.path.size() + 1)
                : std::string();
        Planned planned{relative.empty() ? target.path : target.path + "\\" + relative, {}};
        std::unique_ptr<platform::RegKey> existing;
        const bool exists =
            !force && acc->openKey(target.root, planned.path, platform::RegAccess::Read,
                                   existing) == RegStatus::Ok;
        for (const auto& value : key.values) {
            platform::RegValue old;
            if (!force && exists && acc->queryValue(*existing, value.name, old) == RegStatus::Ok) {
                const std::string name = value.name.empty() ? "(Default)" : value.name;
                const Answer answer = askOverwrite(
                    registry::lineSafe(relative.empty() ? name : relative + "\\" + name));
                if (answer == Answer::Refused)
                    return 1;
                if (answer == Answer::No)
                    continue;
                if (answer == Answer::All)
                    force = true;
            }
            planned.values.push_back(&value);
        }
        plan.push_back(std::move(planned));
    }

    registry::TransactionGuard transaction(*acc, {target.root});
    for (const auto& planned : plan) {
        std::unique_ptr<platform::RegKey> handle;
        RegStatus st = acc->createKey(target.root, planned.path, platform::RegAccess::Full, handle);
        if (st != RegStatus::Ok)
            return statusError(st, *acc);
        for (const auto* value : planned.values) {
            st = acc->setValue(*handle, value->name, value->type, value->data);
            if (st != RegStatus::Ok)
                return valueStatusError(st, *acc);
        }
    }
    transaction.commit();
    std::vector<std::string> unreachableNames;
    for (const auto& path : unreachable)
        unreachableNames.push_back(KeyName{source.root, path}.full());
    warnUnreachable(unreachableNames);
    std::cout << kSuccess << std::endl;
    return 0;
}

}  // namespace vornak::cli::reg
