// RefreshInventory over a store of N registrations against one SQL query that
// returns the same key name / command / display name triples from the same files:
// once with the registrations below the two 64-bit keys, once with a quarter of
// them below the 32-bit key (Wow6432Node).
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "inventory/Inventory.h"
#include "language/MessageCatalogue.h"
#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"

using namespace vornak;
using Clock = std::chrono::steady_clock;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void populate(platform::RegistryStore& store, const std::string& driveC, int count, bool with32) {
    using namespace platform;
    auto acc = store.accessor();
    acc->beginTransaction();
    for (int i = 0; i < count; ++i) {
        const bool below32 = with32 && i % 4 == 3;
        const RegRoot root = i % 2 && !below32 ? RegRoot::CurrentUser : RegRoot::LocalMachine;
        const std::string name = "Product " + std::to_string(i);
        std::unique_ptr<RegKey> key;
        acc->createKey(root,
                       std::string(below32 ? "SOFTWARE\\Wow6432Node" : "SOFTWARE") +
                           "\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name,
                       RegAccess::Full, key);
        auto sz = [&](const char* value, const std::string& text) {
            acc->setValue(*key, value, kRegSz, text + std::string(1, '\0'));
        };
        const std::string folder =
            "C:\\Program Files\\Vendor " + std::to_string(i % 97) + "\\App " + std::to_string(i);
        sz("DisplayName", (i % 3 ? "Application " : "tool ") + std::to_string(count - i));
        // A third of the uninstallers exist, the rest are dead.
        const std::string exe = folder + "\\uninstall.exe";
        if (i % 3 == 0) {
            std::string host = driveC + "/Program Files/Vendor " + std::to_string(i % 97) +
                               "/App " + std::to_string(i);
            std::filesystem::create_directories(host);
            FILE* f = std::fopen((host + "/uninstall.exe").c_str(), "w");
            if (f)
                std::fclose(f);
        }
        sz("UninstallString", "\"" + exe + "\" /S");
        sz("DisplayVersion", "1." + std::to_string(i % 10) + ".0");
        sz("Publisher", "Vendor " + std::to_string(i % 97));
        sz("InstallLocation", folder);
        std::string size(4, '\0');
        const uint32_t kb = 1024u * static_cast<uint32_t>(i % 500 + 1);
        std::memcpy(size.data(), &kb, 4);
        acc->setValue(*key, "EstimatedSize", kRegDword, size);
    }
    acc->commit();
}

size_t sqlQuery(const std::string& dir) {
    sqlite3* db = nullptr;
    sqlite3_open_v2((dir + "/machine.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(db, ("ATTACH '" + dir + "/user.db' AS u").c_str(), nullptr, nullptr, nullptr);
    const char* sql =
        "SELECT k.name, c.data, d.data FROM main.keys p JOIN main.keys k ON k.parent = p.id "
        " LEFT JOIN main.vals c ON c.key = k.id AND c.folded = 'uninstallstring'"
        " LEFT JOIN main.vals d ON d.key = k.id AND d.folded = 'displayname'"
        " WHERE p.path = 'hklm\\software\\microsoft\\windows\\currentversion\\uninstall'"
        " UNION ALL "
        "SELECT k.name, c.data, d.data FROM main.keys p JOIN main.keys k ON k.parent = p.id "
        " LEFT JOIN main.vals c ON c.key = k.id AND c.folded = 'uninstallstring'"
        " LEFT JOIN main.vals d ON d.key = k.id AND d.folded = 'displayname'"
        " WHERE p.path = "
        "'hklm\\software\\wow6432node\\microsoft\\windows\\currentversion\\uninstall'"
        " UNION ALL "
        "SELECT k.name, c.data, d.data FROM u.keys p JOIN u.keys k ON k.parent = p.id "
        " LEFT JOIN u.vals c ON c.key = k.id AND c.folded = 'uninstallstring'"
        " LEFT JOIN u.vals d ON d.key = k.id AND d.folded = 'displayname'"
        " WHERE p.path = 'hkcu\\software\\microsoft\\windows\\currentversion\\uninstall'";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "query failed: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
    size_t rows = 0;
    std::vector<std::string> triples;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < 3; ++c) {
            const void* p = sqlite3_column_blob(stmt, c);
            triples.emplace_back(static_cast<const char*>(p ? p : ""),
                                 static_cast<size_t>(sqlite3_column_bytes(stmt, c)));
        }
        ++rows;
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

struct Figures {
    double ours = 0, reference = 0;
};

Figures run(const char* title, int count, int rounds, bool with32) {
    const auto tmp = std::filesystem::temp_directory_path() /
                     ("vornak inventory bench " + std::to_string(::getpid()));
    std::filesystem::remove_all(tmp);
    std::filesystem::create_directories(tmp / "c");
    const std::string dir = (tmp / "registry").string();

    auto store = platform::openRegistryStore(dir);
    platform::setDefaultRegistryStore(store);
    platform::setDefaultFileSystem(platform::makeFileSystem({{'C', (tmp / "c").string()}}));
    populate(*store, (tmp / "c").string(), count, with32);

    std::vector<double> ours, reference;
    size_t rows = 0, queryRows = 0;
    for (int r = 0; r < rounds; ++r) {
        Inventory inventory;
        inventory.setStartupDone();
        auto t0 = Clock::now();
        inventory.RefreshInventory();
        auto t1 = Clock::now();
        queryRows = sqlQuery(dir);
        auto t2 = Clock::now();
        rows = inventory.master().size();
        ours.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        reference.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    const Figures f{median(ours), median(reference)};
    std::printf("%s: %d registrations (rows listed %zu, query rows %zu)\n", title, count, rows,
                queryRows);
    std::printf("  RefreshInventory: %.2f ms (median of %d)\n", f.ours, rounds);
    std::printf("  SQL query:        %.2f ms (median of %d)\n", f.reference, rounds);
    std::printf("  ratio:            %.2fx (target: within 3x)\n", f.ours / f.reference);
    platform::setDefaultRegistryStore(nullptr);
    store.reset();
    std::filesystem::remove_all(tmp);
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 15;
    messages().set(Msg::fmtStatusCount, "%d programs");
    run("64-bit keys", count, rounds, false);
    run("a quarter below Wow6432Node", count, rounds, true);
    return 0;
}
