// What an empty list says when the registry holds no registration at all: what
// the list shows, and the ways to fill it (a Wine prefix, the example). The
// window and the command-line tool say the same, each naming its own way there.
#pragma once

#include <string>
#include <vector>

namespace vornak {

struct EmptyRegistryContext {
    // The registry the list showed: the example's store, a Wine prefix (its
    // folder), or else this computer's own.
    bool example = false;
    std::string activePrefix;
    std::string storeLocation;
    // Off Windows: the prefixes found where Wine users keep them.
    std::vector<std::string> prefixesFound;
    // How the caller's user chooses a prefix, and opens the example; empty
    // where there is no such way (on Windows).
    std::string prefixChoice;
    std::string exampleCommand;
};

// Sentences separated by blank lines, in the active language.
std::string emptyRegistryHint(const EmptyRegistryContext& context);

// The context of this process: its store, its prefix and the prefixes found;
// the two ways are left for the caller to name.
EmptyRegistryContext currentEmptyRegistryContext(bool example);

}  // namespace vornak
