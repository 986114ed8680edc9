// One FilterBoxChange over a master list of N rows in the real main window (the
// list model's reset, ListView1, the status bar), against a bare loop over the
// same captions doing the same locale upper-case substring test.
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "app/QtDialogs.h"
#include "inventory/Inventory.h"
#include "language/MessageCatalogue.h"
#include "platform/Collation.h"
#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"

using namespace vornak;
using Clock = std::chrono::steady_clock;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double millis(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

const char* const kWords[] = {"Studio", "Player", "Runtime", "Toolkit", "Viewer",
                              "Driver", "Update", "Suite",   "Editor",  "Manager"};

void populate(platform::RegistryStore& store, int count) {
    using namespace platform;
    auto acc = store.accessor();
    acc->beginTransaction();
    for (int i = 0; i < count; ++i) {
        const RegRoot root = i % 2 ? RegRoot::CurrentUser : RegRoot::LocalMachine;
        std::unique_ptr<RegKey> key;
        acc->createKey(
            root, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\P" + std::to_string(i),
            RegAccess::Full, key);
        const std::string caption =
            "Vendor " + std::to_string(i % 97) + " " + kWords[i % 10] + " " + std::to_string(i);
        acc->setValue(*key, "DisplayName", kRegSz, caption + '\0');
        acc->setValue(*key, "UninstallString", kRegSz,
                      "MsiExec.exe /X{" + std::to_string(i) + "}" + '\0');
    }
    acc->commit();
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 31;
    const auto tmp = std::filesystem::temp_directory_path() /
                     ("vornak filter bench " + std::to_string(::getpid()));
    std::filesystem::create_directories(tmp / "c");
    auto store = platform::openRegistryStore((tmp / "registry").string());
    platform::setDefaultRegistryStore(store);
    // The program folder with lang/ beside the programs, so the window starts in
    // English as it does for a user.
    const std::string programFolder =
        (QCoreApplication::applicationDirPath() + QStringLiteral("/../bin")).toStdString();
    platform::setDefaultFileSystem(
        platform::makeFileSystem({{'C', (tmp / "c").string()}}, programFolder));
    populate(*store, count);

    app::QtDialogs dialogs;
    app::TForm1 form(dialogs);  // builds the inventory
    form.show();
    while (!form.startupDone())
        QApplication::processEvents();
    Inventory& inventory = form.inventory();

    std::vector<std::string> captions;
    for (const auto& row : inventory.master())
        captions.push_back(row.caption);
    const auto& collation = platform::threadCollation();

    // Texts as a user types them: a word matching a tenth of the rows, and a
    // vendor number matching about one row in a hundred.
    const std::string texts[] = {"viewer", "vendor 42"};
    std::vector<double> ours, reference;
    size_t shown = 0, matched = 0;
    for (int r = 0; r < rounds; ++r) {
        const std::string& text = texts[r % 2];
        auto t0 = Clock::now();
        inventory.setFilterText(text);
        auto t1 = Clock::now();
        const std::string needle = collation.toUpper(text);
        size_t hits = 0;
        for (const auto& caption : captions)
            hits += collation.toUpper(caption).find(needle) != std::string::npos;
        auto t2 = Clock::now();
        ours.push_back(millis(t0, t1));
        reference.push_back(millis(t1, t2));
        shown = inventory.visible().size();
        matched = hits;
        QApplication::processEvents();  // the repaint, outside both timings
    }
    const double a = median(ours), b = median(reference);
    std::printf("master rows: %zu (last filter shows %zu, loop matched %zu)\n",
                inventory.master().size(), shown, matched);
    std::printf("FilterBoxChange + model reset: %.2f ms (median of %d)\n", a, rounds);
    std::printf("bare upper-case loop:          %.2f ms (median of %d)\n", b, rounds);
    std::printf("ratio:                         %.2fx (target: within 3x)\n", a / b);
    platform::setDefaultRegistryStore(nullptr);
    store.reset();
    std::filesystem::remove_all(tmp);
    return 0;
}
