// The first fill of the list with the splash screen shown and its bar moving,
// against the same fill with no splash screen at all. For comparison, the fill
// with a bar drawn again for every row.
#include <unistd.h>

#include <QApplication>
#include <QProgressBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "about/SplashScreen.h"
#include "inventory/Inventory.h"
#include "language/MessageCatalogue.h"
#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"

using namespace vornak;
using Clock = std::chrono::steady_clock;

namespace {

struct SplashView : InventoryView {
    std::function<void(int)> maximum;
    std::function<void()> step;
    void setSplashMaximum(int m) override {
        if (maximum)
            maximum(m);
    }
    void stepSplash() override {
        if (step)
            step();
    }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// One first fill (a fresh inventory, before the start-up is done), in ms.
double fill(SplashView& view) {
    Inventory inventory(&view);
    const auto t0 = Clock::now();
    inventory.RefreshInventory();
    const auto t1 = Clock::now();
    inventory.setView(nullptr);
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 45000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;

    const auto tmp = std::filesystem::temp_directory_path() /
                     ("vornak splash bench " + std::to_string(::getpid()));
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
            acc->createKey(
                i % 2 ? platform::RegRoot::CurrentUser : platform::RegRoot::LocalMachine,
                "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\P" + std::to_string(i),
                platform::RegAccess::Full, key);
            acc->setValue(*key, "DisplayName", platform::kRegSz,
                          "Program " + std::to_string(count - i) + '\0');
            acc->setValue(
                *key, "UninstallString", platform::kRegSz,
                "\"C:\\Program Files\\P" + std::to_string(i) + "\\uninst.exe\" /S" + '\0');
        }
        acc->commit();
    }

    about::TSplashScreen splash(about::TSplashScreen::readPicture());
    splash.show();
    splash.paintAtOnce();
    auto* bar = splash.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));

    SplashView none;
    SplashView ours;
    ours.maximum = [&](int m) { splash.setMaximum(m); };
    ours.step = [&] { splash.step(); };
    SplashView everyRow;
    everyRow.maximum = [&](int m) { bar->setRange(0, m); };
    everyRow.step = [&] {
        bar->setValue(bar->value() + 1);
        bar->repaint();
    };

    fill(none);  // warms the store's cache
    std::vector<double> without, with, naive;
    for (int r = 0; r < rounds; ++r) {
        without.push_back(fill(none));
        splash.setMaximum(0);
        with.push_back(fill(ours));
        bar->setValue(0);
        naive.push_back(fill(everyRow));
    }
    const double a = median(with), b = median(without), c = median(naive);
    std::printf("platform: %s, registrations: %d, rounds: %d\n",
                qPrintable(QGuiApplication::platformName()), count, rounds);
    std::printf("fill, no splash screen:              %9.1f ms\n", b);
    std::printf("fill, splash screen and its bar:     %9.1f ms\n", a);
    std::printf("fill, bar drawn again for every row: %9.1f ms\n", c);
    std::printf("ratio: %.2fx (target: within 1.2x); every row: %.2fx\n", a / b, c / b);
    platform::setDefaultRegistryStore(nullptr);
    store.reset();
    std::filesystem::remove_all(tmp);
    return 0;
}
