// One FilterBoxChange over a master list of N rows, with the list model and a
// table view attached, against a bare loop over the same captions doing the same
// locale upper-case substring test.
#include <QApplication>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "app/InventoryModel.h"
#include "inventory/Inventory.h"
#include "language/MessageCatalogue.h"
#include "platform/Collation.h"
#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"

using namespace vornak;
using Clock = std::chrono::steady_clock;

namespace {

struct ModelView : InventoryView {
    app::InventoryModel* model = nullptr;
    void visibleListChanged() override { model->refresh(); }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

const char* const kWords[] = {"Application", "Tool", "Driver", "Runtime", "Editor",
                              "Viewer",      "Suite", "Player", "Ærø Kort", "Übersetzer"};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 41;

    const auto tmp = std::filesystem::temp_directory_path() /
                     ("vornak filter bench " + std::to_string(::getpid()));
    std::filesystem::create_directories(tmp / "c");
    auto store = platform::openRegistryStore((tmp / "registry").string());
    platform::setDefaultRegistryStore(store);
    platform::setDefaultFileSystem(platform::makeFileSystem({{'C', (tmp / "c").string()}}));
    messages().set(Msg::fmtStatusCount, "%d programs");
    {
        auto acc = store->accessor();
        acc->beginTransaction();
        for (int i = 0; i < count; ++i) {
            std::unique_ptr<platform::RegKey> key;
            acc->createKey(platform::RegRoot::LocalMachine,
                           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\P" +
                               std::to_string(i),
                           platform::RegAccess::Full, key);
            const std::string name = std::string(kWords[i % 10]) + " " + std::to_string(i) +
                                     (i % 7 ? " for Windows" : " Pro");
            acc->setValue(*key, "DisplayName", platform::kRegSz, name + '\0');
            acc->setValue(*key, "UninstallString", platform::kRegSz,
                          "C:\\x\\" + std::to_string(i) + "\\uninst.exe" + '\0');
        }
        acc->commit();
    }

    Inventory inventory;
    app::InventoryModel model(inventory);
    ModelView view;
    view.model = &model;
    inventory.setView(&view);
    inventory.RefreshInventory();
    QTableView table;
    table.setModel(&model);
    table.resize(400, 300);
    table.show();
    QApplication::processEvents();

    const std::string needle = "for win";
    std::vector<double> ours, reference;
    size_t matches = 0, referenceMatches = 0;
    for (int r = 0; r < rounds; ++r) {
        inventory.setFilterText("");
        auto t0 = Clock::now();
        inventory.setFilterText(needle);
        auto t1 = Clock::now();
        matches = inventory.visible().size();

        // The bare loop: the same captions, the same upper-casing and search.
        const auto& collation = platform::threadCollation();
        auto t2 = Clock::now();
        const std::string upperNeedle = collation.toUpper(needle);
        std::vector<const std::string*> found;
        for (const auto& row : inventory.master())
            if (collation.toUpper(row.caption).find(upperNeedle) != std::string::npos)
                found.push_back(&row.caption);
        auto t3 = Clock::now();
        referenceMatches = found.size();
        ours.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        reference.push_back(std::chrono::duration<double, std::milli>(t3 - t2).count());
    }
    const double a = median(ours), b = median(reference);
    std::printf("master rows: %zu, matches: %zu (bare loop %zu)\n", inventory.master().size(),
                matches, referenceMatches);
    std::printf("FilterBoxChange + model reset: %.3f ms (median of %d)\n", a, rounds);
    std::printf("bare upper-case substring loop: %.3f ms (median of %d)\n", b, rounds);
    std::printf("ratio: %.2fx (target: within 3x)\n", a / b);
    inventory.setView(nullptr);
    platform::setDefaultRegistryStore(nullptr);
    store.reset();
    std::filesystem::remove_all(tmp);
    return 0;
}
