// A shell for tests: records what it was asked to open, opens nothing.
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

    void openWebAddress(const std::string& address) override { webAddresses.push_back(address); }
    void showHelpContext(const std::string& helpFile, int context) override {
        helpShown.push_back({helpFile, context});
    }
};

}  // namespace vornak::test
