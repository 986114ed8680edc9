// vornak reg import / export: registry files in regedit's formats.
#include <filesystem>
#include <iostream>

#include "cli/RegCommand.h"
#include "platform/HostPath.h"
#include "registry/RegFileModel.h"
#include "registry/RegFileStore.h"
#include "registry/RegFileText.h"

namespace vornak::cli::reg {

int importFile(const Args& args) {
    if (args.size() != 1 || looksLikeOption(args[0]))
        return syntaxError("import");
    auto acc = openAccessor();
    try {
        const std::string skipped = registry::importRegFile(*acc, args[0]);
        // reg.exe takes such a file and succeeds without importing anything; so
        // do we, but say so.
        if (!skipped.empty())
            std::cerr << "WARNING: nothing was imported from " << args[0] << ": its first line \""
                      << registry::lineSafe(skipped)
                      << "\" names no version of the format that reg.exe reads (REGEDIT4, "
                         "Windows Registry Editor Version 5.00)."
                      << std::endl;
    } catch (const registry::RegFileError& e) {
        return fail("ERROR: " + args[0] + " was not imported: " + registry::lineSafe(e.message()));
    }
    std::cout << kSuccess << std::endl;
    return 0;
}

int exportFile(const Args& args) {
    if (args.size() < 2 || args.size() > 3 || looksLikeOption(args[0]) || looksLikeOption(args[1]))
        return syntaxError("export");
    const bool overwrite = args.size() == 3;
    if (overwrite && !isOption(args[2], "y"))
        return syntaxError("export");
    KeyName key;
    if (!parseKeyName(args[0], key))
        return fail(kInvalidKey);
    const std::string& file = args[1];

    auto acc = openAccessor();
    std::unique_ptr<platform::RegKey> handle;
    const platform::RegStatus st =
        acc->openKey(key.root, key.path, platform::RegAccess::Read, handle);
    if (st != platform::RegStatus::Ok)
        return statusError(st, *acc);
    handle.reset();

    std::error_code ec;
    if (!overwrite && std::filesystem::exists(platform::hostPath(file), ec) &&
        !confirm("File " + file + " already exists. Overwrite (Yes/No)?",
                 "ERROR: " + file +
                     " exists; without /y it is not overwritten when standard input is not a "
                     "terminal."))
        return 1;
    std::vector<std::string> leftOut, unreachable;
    try {
        const platform::RegStatus written =
            registry::exportRegFile(*acc, key.root, key.path, file, &leftOut, &unreachable);
        if (written != platform::RegStatus::Ok)
            return statusError(written, *acc);
    } catch (const registry::RegFileError& e) {
        return fail("ERROR: " + registry::lineSafe(e.message()));
    }
    // Everything else is in the file; these cannot be written in any registry file.
    for (const auto& name : leftOut)
        std::cerr << "WARNING: " << name
                  << " was left out: a registry file cannot hold a line break or NUL in a key "
                     "name, nor a NUL in a value name."
                  << std::endl;
    std::vector<std::string> unreachableNames;
    for (const auto& path : unreachable)
        unreachableNames.push_back(KeyName{key.root, path}.full());
    warnUnreachable(unreachableNames);
    std::cout << kSuccess << std::endl;
    return 0;
}

}  // namespace vornak::cli::reg
