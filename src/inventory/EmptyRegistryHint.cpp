#include "inventory/EmptyRegistryHint.h"

#include <algorithm>
#include <cstdint>

#include "language/MessageCatalogue.h"
#include "platform/RegistryStore.h"
#ifndef _WIN32
#include "platform/WinePrefix.h"
#endif

namespace vornak {

std::string emptyRegistryHint(const EmptyRegistryContext& c) {
    std::vector<std::string> parts;
    if (c.example)
        parts.push_back(messageText(Msg::fmtEmptyExample, {c.storeLocation}));
    else if (!c.activePrefix.empty())
        parts.push_back(messageText(Msg::fmtEmptyPrefix, {c.activePrefix}));
#ifdef _WIN32
    else
        parts.push_back(messageText(Msg::msgEmptyRegistry));
#else
    else
        parts.push_back(messageText(Msg::fmtEmptyOwnStore, {c.storeLocation}));
#endif
    if (!c.prefixChoice.empty()) {
        // The prefix shown already is no way to another list.
        std::vector<std::string> others = c.prefixesFound;
        std::erase(others, c.activePrefix);
        if (others.size() == 1)
            parts.push_back(messageText(Msg::fmtPrefixFoundOne, {others.front(), c.prefixChoice}));
        else if (others.size() > 1)
            parts.push_back(messageText(Msg::fmtPrefixesFound,
                                        {static_cast<int64_t>(others.size()), c.prefixChoice}));
        else if (c.activePrefix.empty())
            parts.push_back(messageText(Msg::msgNoPrefixFound));
    }
    if (!c.exampleCommand.empty())
        parts.push_back(messageText(Msg::fmtExampleHint, {c.exampleCommand}));
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : "\n\n") + part;
    return text;
}

EmptyRegistryContext currentEmptyRegistryContext(bool example) {
    EmptyRegistryContext c;
    c.example = example;
    c.storeLocation = platform::defaultRegistryStore()->location();
#ifndef _WIN32
    if (!example) {
        c.activePrefix = platform::activeWinePrefix();
        c.prefixesFound = platform::findWinePrefixes();
    }
#endif
    return c;
}

}  // namespace vornak
