// A shell for tests: records what it was asked to open, opens nothing, and
// says it did unless told that no browser is there.
#pragma once

#include <string>
#include <vector>

#include "platform/Shell.h"

namespace vornak::test {

struct RecordingShell : platform::Shell {
    struct Help {
        std::string file;
        int context = 0;
        bool operator==(const Help&) const = default;
    };
    std::vector<std::string> webAddresses;
    std::vector<Help> helpShown;
    bool browser = true;

    bool openWebAddress(const std::string& address) override {
        webAddresses.push_back(address);
        return browser;
    }
    bool showHelpContext(const std::string& helpFile, int context) override {
        helpShown.push_back({helpFile, context});
        return browser;
    }
    std::string helpLocation(const std::string& helpFile) const override {
        return "/help/" + helpFile;
    }
};

}  // namespace vornak::test
