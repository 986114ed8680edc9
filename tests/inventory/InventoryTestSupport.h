// Shared set-up for inventory tests: registrations in a temporary store, a drive
// C with uninstallers, a view that records what the logic asked of the window.
#pragma once

#include <string>
#include <vector>

#include "inventory/Inventory.h"
#include "language/MessageCatalogue.h"
#include "support/RegistryFixture.h"

namespace vornak::test {

struct RecordingView : InventoryView {
    int redraws = 0;
    std::string status;
    std::string filterShown;
    int splashMaximum = -1;
    int splashSteps = 0;
    void visibleListChanged() override { ++redraws; }
    void showFilterText(const std::string& text) override { filterShown = text; }
    void showStatus(const std::string& text) override { status = text; }
    void setSplashMaximum(int maximum) override { splashMaximum = maximum; }
    void stepSplash() override { ++splashSteps; }
};

class InventoryFixture : public RegistryFixture {
protected:
    void SetUp() override {
        RegistryFixture::SetUp();
        messages().set(Msg::fmtStatusCount, "%d programs");
    }
    void TearDown() override {
        messages().clear();
        RegistryFixture::TearDown();
    }

    // A registration under "LM" or "CU". An empty display name is left out.
    void registration(const std::string& rootCode, const std::string& keyName,
                      const std::string& displayName, const std::string& command) {
        const auto root = rootCode == "LM" ? platform::RegRoot::LocalMachine
                                           : platform::RegRoot::CurrentUser;
        const std::string path =
            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + keyName;
        if (!displayName.empty()) setString(root, path, "DisplayName", displayName);
        setString(root, path, "UninstallString", command);
    }

    // An uninstaller file on drive C; returns its program path.
    std::string uninstaller(const std::string& relative) {
        tmp.write("drive c/" + relative, "MZ");
        std::string path = "C:\\" + relative;
        for (char& c : path)
            if (c == '/') c = '\\';
        return path;
    }

    static std::vector<std::string> captions(const EntryList& rows) {
        std::vector<std::string> out;
        for (const auto& r : rows) out.push_back(r.caption);
        return out;
    }

    RecordingView view;
};

}  // namespace vornak::test
