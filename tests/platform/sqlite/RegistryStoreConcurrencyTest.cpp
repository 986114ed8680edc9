// Readers and writers at once on the SQLite registry store: several threads,
// and several processes, must neither fail nor see half of a change.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "RegistryStoreTestSupport.h"

using namespace vornak::platform;
using namespace vornak::test;
using Clock = std::chrono::steady_clock;

namespace {

// The writer switches the watched value between these two; a reader that sees
// any other type-and-data pair has seen a torn write.
const RegValue kStateA{"state", kRegSz, std::string("alpha\0", 6)};
const RegValue kStateB{"state", kRegBinary, std::string(64, '\xb7')};

bool isWholeState(const RegValue& v) {
    return (v.type == kStateA.type && v.data == kStateA.data) ||
           (v.type == kStateB.type && v.data == kStateB.data);
}

struct WalkCounts {
    std::atomic<int> failures{0};  // any status but Ok and NotFound
    std::atomic<int> torn{0};
    std::atomic<int> statesSeen{0};
    std::atomic<int> walks{0};
};

void count(WalkCounts& counts, RegStatus status) {
    if (status != RegStatus::Ok && status != RegStatus::NotFound)
        ++counts.failures;
}

// The walk of a registry snapshot: open, query, list values, list subkeys.
void walk(RegistryAccessor& acc, const std::string& path, WalkCounts& counts) {
    std::unique_ptr<RegKey> key;
    RegStatus status = acc.openKey(RegRoot::LocalMachine, path, RegAccess::Full, key);
    count(counts, status);
    if (status != RegStatus::Ok)
        return;
    RegKeyInfo info;
    status = acc.queryInfo(*key, info);
    count(counts, status);
    if (status != RegStatus::Ok)
        return;
    RegValue value;
    for (uint32_t i = 0; (status = acc.enumValue(*key, i, value)) == RegStatus::Ok; ++i) {
        if (value.name == "state") {
            ++counts.statesSeen;
            if (!isWholeState(value))
                ++counts.torn;
        }
    }
    count(counts, status);
    if (acc.queryValue(*key, "state", value) == RegStatus::Ok && !isWholeState(value))
        ++counts.torn;
    std::vector<std::string> names;
    std::string name;
    for (uint32_t i = 0; (status = acc.enumKey(*key, i, name)) == RegStatus::Ok; ++i)
        names.push_back(name);
    count(counts, status);
    for (const auto& child : names)
        walk(acc, path.empty() ? child : path + "\\" + child, counts);
}

void buildTree(RegistryStore& store) {
    auto acc = store.accessor();
    acc->beginTransaction();
    for (int i = 0; i < 20; ++i) {
        for (int j = 0; j < 3; ++j) {
            auto key =
                mustCreate(*acc, RegRoot::LocalMachine,
                           "Walk\\Branch " + std::to_string(i) + "\\Leaf " + std::to_string(j));
            for (int v = 0; v < 4; ++v)
                ASSERT_EQ(
                    acc->setValue(*key, "v" + std::to_string(v), kRegSz, std::string(40, 'x')),
                    RegStatus::Ok);
        }
    }
    auto watched = mustCreate(*acc, RegRoot::LocalMachine, "Walk\\Watched");
    ASSERT_EQ(acc->setValue(*watched, "first", kRegDword, "1111"), RegStatus::Ok);
    ASSERT_EQ(acc->setValue(*watched, kStateA.name, kStateA.type, kStateA.data), RegStatus::Ok);
    acc->commit();
}

// Flips the watched value, and makes and removes keys next to it, until told to stop.
// Returns how many changes failed.
int writeUntil(RegistryStore& store, const std::atomic<bool>& stop, int* changes = nullptr) {
    auto acc = store.accessor();
    int failed = 0;
    int n = 0;
    std::unique_ptr<RegKey> watched;
    if (acc->openKey(RegRoot::LocalMachine, "Walk\\Watched", RegAccess::Full, watched) !=
        RegStatus::Ok)
        return 1;
    for (; !stop; ++n) {
        const RegValue& next = n % 2 ? kStateA : kStateB;
        if (n % 10 == 9) {
            // Now and then a group of changes, as an import makes them.
            acc->beginTransaction();
            std::unique_ptr<RegKey> extra;
            if (acc->createKey(RegRoot::LocalMachine, "Walk\\Churn\\Group", RegAccess::Full,
                               extra) != RegStatus::Ok ||
                acc->setValue(*extra, "n", kRegSz, std::to_string(n)) != RegStatus::Ok ||
                acc->setValue(*watched, next.name, next.type, next.data) != RegStatus::Ok)
                ++failed;
            acc->commit();
        } else if (acc->setValue(*watched, next.name, next.type, next.data) != RegStatus::Ok) {
            ++failed;
        }
        std::unique_ptr<RegKey> churn;
        const std::string name = "Walk\\Churn\\Key " + std::to_string(n % 8);
        if (n % 16 < 8) {
            if (acc->createKey(RegRoot::LocalMachine, name, RegAccess::Full, churn) !=
                    RegStatus::Ok ||
                acc->setValue(*churn, "v", kRegSz, name) != RegStatus::Ok)
                ++failed;
        } else if (acc->openKey(RegRoot::LocalMachine, name, RegAccess::Full, churn) !=
                       RegStatus::Ok ||
                   acc->deleteKey(*churn, "") != RegStatus::Ok) {
            ++failed;
        }
    }
    if (changes)
        *changes = n;
    return failed;
}

}  // namespace

TEST_F(RegistryStoreTest, FourWalkersAndAWriterNeitherFailNorTear) {
    buildTree(*store);
    std::atomic<bool> stop{false};
    WalkCounts counts;
    std::vector<std::thread> walkers;
    for (int t = 0; t < 4; ++t) {
        walkers.emplace_back([&] {
            auto own = store->accessor();
            while (!stop) {
                walk(*own, "", counts);
                ++counts.walks;
            }
        });
    }
    int changes = 0;
    int writeFailures = 0;
    std::thread writer([&] { writeFailures = writeUntil(*store, stop, &changes); });
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    stop = true;
    writer.join();
    for (auto& w : walkers)
        w.join();

    EXPECT_EQ(writeFailures, 0);
    EXPECT_EQ(counts.failures, 0);
    EXPECT_EQ(counts.torn, 0);
    EXPECT_GT(changes, 20);
    EXPECT_GE(counts.walks, 4);
    EXPECT_GT(counts.statesSeen, 0);
}

TEST_F(RegistryStoreTest, AnotherProcessWritingMeanwhile) {
    buildTree(*store);
    // A connection must not cross fork(): close them all first.
    acc.reset();
    store.reset();

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto own = openRegistryStore(dir);
        std::atomic<bool> stop{false};
        std::thread timer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(800));
            stop = true;
        });
        int changes = 0;
        const int failed = writeUntil(*own, stop, &changes);
        timer.join();
        _exit(failed == 0 && changes > 10 ? 0 : 1);
    }

    auto reader = openRegistryStore(dir);
    WalkCounts counts;
    const auto end = Clock::now() + std::chrono::milliseconds(800);
    while (Clock::now() < end) {
        auto own = reader->accessor();
        walk(*own, "Walk", counts);
        ++counts.walks;
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the writing process failed";
    EXPECT_EQ(counts.failures, 0);
    EXPECT_EQ(counts.torn, 0);
    EXPECT_GT(counts.statesSeen, 0);
}

TEST_F(RegistryStoreTest, IdleConnectionsSoonLetTheLogBeCheckpointed) {
    auto key = mustCreate(*acc, RegRoot::LocalMachine, "Log");
    RegValue value;
    EXPECT_EQ(acc->queryValue(*key, "none", value), RegStatus::NotFound);  // reads: a snapshot
    key.reset();
    acc.reset();  // its connection goes idle, snapshot and all

    auto writer = openRegistryStore(dir);
    auto w = writer->accessor();
    auto written = mustCreate(*w, RegRoot::LocalMachine, "Log");
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(
            w->setValue(*written, "v" + std::to_string(i), kRegBinary, std::string(2000, 'w')),
            RegStatus::Ok);
    written.reset();
    w.reset();

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir + "/machine.db").c_str(), &db), SQLITE_OK);
    // Reading first puts the connection in WAL mode.
    ASSERT_EQ(sqlite3_exec(db, "SELECT count(*) FROM vals", nullptr, nullptr, nullptr), SQLITE_OK);
    // A snapshot still held makes the checkpoint give SQLITE_BUSY at once. Idle
    // snapshots end after 20 ms; allow a loaded machine ample time for that.
    int rc = SQLITE_BUSY;
    for (int attempt = 0; attempt < 40 && rc != SQLITE_OK; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        rc = sqlite3_wal_checkpoint_v2(db, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    }
    EXPECT_EQ(rc, SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(std::filesystem::file_size(dir + "/machine.db-wal"), 0u);
}

TEST_F(RegistryStoreTest, ChangesOfAnotherProcessShowWithinTheSnapshotAge) {
    auto key = mustCreate(*acc, RegRoot::LocalMachine, "Seen");
    ASSERT_EQ(acc->setValue(*key, "v", kRegSz, "before"), RegStatus::Ok);
    RegValue value;
    ASSERT_EQ(acc->queryValue(*key, "v", value), RegStatus::Ok);

    // Another program changes it: the sqlite3 shell, a process of its own.
    const std::string path = dir + "/machine.db";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execlp("sqlite3", "sqlite3", path.c_str(),
               "UPDATE vals SET data = CAST('after' AS BLOB) WHERE name = 'v'",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    ASSERT_EQ(acc->queryValue(*key, "v", value), RegStatus::Ok);
    EXPECT_EQ(value.data, "after");
}

// Several threads (the five analysis workers, say) using a store that does not
// exist yet: exactly one of them makes the files, none may take the half-made
// files for a foreign database.
TEST(RegistryStoreFirstUse, ThreadsCreatingTheStoreAtOnce) {
    for (int round = 0; round < 15; ++round) {
        TempDir tmp;
        auto store = openRegistryStore(tmp.str() + "/registry");
        std::atomic<int> failures{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 6; ++t) {
            threads.emplace_back([&, t] {
                auto acc = store->accessor();
                std::unique_ptr<RegKey> key;
                const RegRoot root = t % 2 ? RegRoot::CurrentUser : RegRoot::LocalMachine;
                if (acc->createKey(root, "SOFTWARE\\T" + std::to_string(t), RegAccess::Full,
                                   key) != RegStatus::Ok)
                    ++failures;
            });
        }
        for (auto& th : threads) th.join();
        ASSERT_EQ(failures.load(), 0) << "round " << round;
        EXPECT_NO_THROW(store->check());
    }
}

namespace {

// Holds a file's write lock as another program would, until destroyed.
struct ForeignWriter {
    explicit ForeignWriter(const std::string& file) {
        sqlite3_open(file.c_str(), &db);
        EXPECT_EQ(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~ForeignWriter() {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    sqlite3* db = nullptr;
};

}  // namespace

TEST_F(RegistryStoreTest, AStoreInUseIsBusyNotAFailureAndKeepsNothing) {
    auto key = mustCreate(*acc, RegRoot::LocalMachine, "Software\\Busy");
    store->check();
    {
        ForeignWriter other(dir + "/machine.db");
        acc->setPatience(std::chrono::milliseconds(50));
        EXPECT_EQ(acc->setValue(*key, "v", kRegSz, "x"), RegStatus::Busy);
        std::unique_ptr<RegKey> created;
        EXPECT_EQ(acc->createKey(RegRoot::LocalMachine, "Software\\Busy\\New", RegAccess::Full,
                                 created),
                  RegStatus::Busy);

        // A group that cannot lock machine.db changes the user file neither.
        acc->beginTransaction();
        std::unique_ptr<RegKey> user;
        EXPECT_EQ(acc->createKey(RegRoot::CurrentUser, "Software\\Busy", RegAccess::Full, user),
                  RegStatus::Busy);
        EXPECT_THROW(acc->commit(), RegistryBusyError);
    }
    tryOpen(*acc, RegRoot::CurrentUser, "Software\\Busy", RegAccess::Read, RegStatus::NotFound);
    EXPECT_EQ(acc->setValue(*key, "v", kRegSz, "x"), RegStatus::Ok);
}

// Each group changes both files, in opposite orders. Locking both files up
// front, always in one order, makes the later one wait for the earlier; taking
// each lock when first needed made them wait for each other until one failed.
TEST_F(RegistryStoreTest, GroupsChangingBothFilesInOppositeOrdersBothSucceed) {
    store->check();
    std::atomic<bool> firstStarted{false};
    std::atomic<int> failures{0};
    auto group = [&](RegRoot first, RegRoot second, const char* name, bool signal) {
        auto a = store->accessor();
        a->setPatience(std::chrono::milliseconds(2000));
        try {
            a->beginTransaction();
            std::unique_ptr<RegKey> key;
            if (a->createKey(first, name, RegAccess::Full, key) != RegStatus::Ok)
                ++failures;
            if (signal)
                firstStarted = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            if (a->createKey(second, name, RegAccess::Full, key) != RegStatus::Ok)
                ++failures;
            a->commit();
        } catch (const std::exception&) {
            ++failures;
        }
    };
    std::thread one(group, RegRoot::CurrentUser, RegRoot::LocalMachine, "One", true);
    while (!firstStarted)
        std::this_thread::yield();
    std::thread two(group, RegRoot::LocalMachine, RegRoot::CurrentUser, "Two", false);
    one.join();
    two.join();
    EXPECT_EQ(failures, 0);
    for (const char* name : {"One", "Two"})
        for (RegRoot root : {RegRoot::LocalMachine, RegRoot::CurrentUser})
            tryOpen(*acc, root, name, RegAccess::Read, RegStatus::Ok);
}
