// The registry walk of a snapshot (open every key with full access, query it,
// list its values with their data, list its subkeys) over a store of N keys
// with five values each, against one SQL query over the same file returning
// every key path with its values' names, types and data.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/RegistryStore.h"

using namespace vornak::platform;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A tree ten keys wide below HKLM\Tree, breadth first, five values a key.
void populate(RegistryStore& store, int keys) {
    auto acc = store.accessor();
    acc->beginTransaction();
    std::vector<std::string> level{"Tree"};
    int made = 0;
    while (made < keys) {
        std::vector<std::string> next;
        for (const auto& parent : level) {
            for (int c = 0; c < 10 && made < keys; ++c, ++made) {
                const std::string path = parent + "\\Node " + std::to_string(c);
                std::unique_ptr<RegKey> key;
                acc->createKey(RegRoot::LocalMachine, path, RegAccess::Full, key);
                for (int v = 0; v < 5; ++v) {
                    if (v % 2)
                        acc->setValue(*key, "Number " + std::to_string(v), kRegDword,
                                      std::string("\x07\0\0\0", 4));
                    else
                        acc->setValue(*key, "Text " + std::to_string(v), kRegSz,
                                      "C:\\Program Files\\Vendor\\" + path + '\0');
                }
                next.push_back(path);
            }
        }
        level.swap(next);
    }
    acc->commit();
}

// Keeps the data read from being optimised away.
volatile size_t g_sink = 0;

size_t walk(RegistryStore& store, size_t& values) {
    auto acc = store.accessor();
    std::vector<std::string> work{""};
    values = 0;
    size_t bytes = 0;
    for (size_t i = 0; i < work.size(); ++i) {
        std::unique_ptr<RegKey> key;
        if (acc->openKey(RegRoot::LocalMachine, work[i], RegAccess::Full, key) != RegStatus::Ok)
            continue;
        RegKeyInfo info;
        acc->queryInfo(*key, info);
        RegValue value;
        for (uint32_t j = 0; acc->enumValue(*key, j, value) == RegStatus::Ok; ++j) {
            ++values;
            bytes += value.name.size() + value.data.size();
        }
        std::string name;
        for (uint32_t j = 0; acc->enumKey(*key, j, name) == RegStatus::Ok; ++j)
            work.push_back(work[i].empty() ? name : work[i] + "\\" + name);
    }
    g_sink = bytes;
    return work.size();
}

size_t query(sqlite3* db, size_t& values) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT k.path, v.name, v.type, v.data FROM keys k "
                       "LEFT JOIN vals v ON v.key = k.id WHERE k.path = 'hklm' OR k.path LIKE "
                       "'hklm\\%'",
                       -1, &stmt, nullptr);
    size_t rows = 0;
    values = 0;
    size_t bytes = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ++rows;
        std::string path(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        if (sqlite3_column_type(stmt, 1) == SQLITE_NULL)
            continue;
        ++values;
        std::string name(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
        std::string data(static_cast<const char*>(sqlite3_column_blob(stmt, 3)),
                         static_cast<size_t>(sqlite3_column_bytes(stmt, 3)));
        bytes += path.size() + name.size() + data.size();
    }
    sqlite3_finalize(stmt);
    g_sink = bytes;
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    const int keys = argc > 1 ? std::atoi(argv[1]) : 200000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const auto dir = std::filesystem::temp_directory_path() /
                     ("vornak store bench " + std::to_string(::getpid()));
    {
        auto store = openRegistryStore(dir.string());
        const auto start = Clock::now();
        populate(*store, keys);
        std::printf("filled %d keys in %.0f ms\n", keys, msSince(start));
    }
    auto store = openRegistryStore(dir.string());
    sqlite3* db = nullptr;
    sqlite3_open_v2((dir / "machine.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    std::vector<double> walked, queried;
    size_t walkKeys = 0, walkValues = 0, queryValues = 0;
    for (int r = 0; r < rounds; ++r) {
        auto start = Clock::now();
        walkKeys = walk(*store, walkValues);
        walked.push_back(msSince(start));
        start = Clock::now();
        query(db, queryValues);
        queried.push_back(msSince(start));
    }
    sqlite3_close(db);
    std::filesystem::remove_all(dir);
    const double w = median(walked), q = median(queried);
    std::printf("walk:  %.0f ms for %zu keys, %zu values (median of %d)\n", w, walkKeys, walkValues,
                rounds);
    std::printf("query: %.0f ms for %zu values (median of %d)\n", q, queryValues, rounds);
    std::printf("ratio: %.2fx (target: within 3x)\n", w / q);
}
