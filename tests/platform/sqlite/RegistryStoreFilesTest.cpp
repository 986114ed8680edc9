// The files behind the SQLite registry store: where the roots live, read-only
// files, files that are not ours, and several stores on one folder.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "RegistryStoreTestSupport.h"

using namespace vornak::platform;
using namespace vornak::test;
namespace fs = std::filesystem;

namespace {

void makeSqliteFile(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

std::string checkError(RegistryStore& store) {
    try {
        store.check();
    } catch (const RegistryStoreError& e) {
        return e.what();
    }
    return {};
}

void fillStore(RegistryStore& store) {
    auto acc = store.accessor();
    auto machine = mustCreate(*acc, RegRoot::LocalMachine, "Software\\Acme");
    ASSERT_EQ(acc->setValue(*machine, "Path", kRegSz, "C:\\Acme"), RegStatus::Ok);
    auto user = mustCreate(*acc, RegRoot::CurrentUser, "Software\\Acme");
    ASSERT_EQ(acc->setValue(*user, "Theme", kRegSz, "dark"), RegStatus::Ok);
}

}  // namespace

TEST_F(RegistryStoreTest, MachineRootsAndTheUserRootLiveInTwoFiles) {
    store->check();
    EXPECT_EQ(store->location(), dir);
    EXPECT_TRUE(fs::is_regular_file(dir + "/machine.db"));
    EXPECT_TRUE(fs::is_regular_file(dir + "/user.db"));
    fillStore(*store);
    mustCreate(*acc, RegRoot::ClassesRoot, "Classes key");
    mustCreate(*acc, RegRoot::Users, "S-1-5-18");
    mustCreate(*acc, RegRoot::CurrentConfig, "Config key");
    acc.reset();
    store.reset();

    // Without user.db the machine roots are all still there, and HKCU is new.
    fs::remove(dir + "/user.db");
    fs::remove(dir + "/user.db-wal");
    fs::remove(dir + "/user.db-shm");
    auto reopened = openRegistryStore(dir);
    auto a = reopened->accessor();
    tryOpen(*a, RegRoot::LocalMachine, "Software\\Acme", RegAccess::Read, RegStatus::Ok);
    tryOpen(*a, RegRoot::ClassesRoot, "Classes key", RegAccess::Read, RegStatus::Ok);
    tryOpen(*a, RegRoot::Users, "S-1-5-18", RegAccess::Read, RegStatus::Ok);
    tryOpen(*a, RegRoot::CurrentConfig, "Config key", RegAccess::Read, RegStatus::Ok);
    tryOpen(*a, RegRoot::CurrentUser, "Software\\Acme", RegAccess::Read, RegStatus::NotFound);
}

TEST_F(RegistryStoreTest, ReadOnlyMachineFileDeniesFullAccessOnly) {
    fillStore(*store);
    acc.reset();
    store.reset();
    // No write bit at all: the store treats it as unwritable even for root.
    ASSERT_EQ(chmod((dir + "/machine.db").c_str(), 0444), 0);

    auto limited = openRegistryStore(dir);
    EXPECT_EQ(checkError(*limited), "");
    auto a = limited->accessor();
    tryOpen(*a, RegRoot::LocalMachine, "Software\\Acme", RegAccess::Full, RegStatus::AccessDenied);
    tryOpen(*a, RegRoot::LocalMachine, "", RegAccess::Full, RegStatus::AccessDenied);
    auto key = tryOpen(*a, RegRoot::LocalMachine, "Software\\Acme", RegAccess::Read, RegStatus::Ok);
    ASSERT_TRUE(key);
    RegValue value;
    ASSERT_EQ(a->queryValue(*key, "Path", value), RegStatus::Ok);
    EXPECT_EQ(value.data, "C:\\Acme");
    EXPECT_EQ(valueNames(*a, *key), std::vector<std::string>{"Path"});
    EXPECT_EQ(a->setValue(*key, "Path", kRegSz, "x"), RegStatus::AccessDenied);
    EXPECT_EQ(a->deleteKey(*key, ""), RegStatus::AccessDenied);

    // Creating needs writing; opening an existing key through createKey for reading does not.
    std::unique_ptr<RegKey> created;
    EXPECT_EQ(a->createKey(RegRoot::LocalMachine, "Software\\New", RegAccess::Read, created),
              RegStatus::AccessDenied);
    EXPECT_EQ(a->createKey(RegRoot::LocalMachine, "Software\\Acme", RegAccess::Full, created),
              RegStatus::AccessDenied);
    EXPECT_EQ(a->createKey(RegRoot::LocalMachine, "Software\\Acme", RegAccess::Read, created),
              RegStatus::Ok);

    // A group of changes over a read-only file reads but does not write.
    a->beginTransaction();
    tryOpen(*a, RegRoot::LocalMachine, "Software\\Acme", RegAccess::Read, RegStatus::Ok);
    auto user = tryOpen(*a, RegRoot::CurrentUser, "Software\\Acme", RegAccess::Full, RegStatus::Ok);
    ASSERT_TRUE(user);
    EXPECT_EQ(a->setValue(*user, "Theme", kRegSz, "light"), RegStatus::Ok);
    a->commit();

    // HKEY_CURRENT_USER lives in user.db, which stays writable.
    auto again = limited->accessor();
    auto userKey =
        tryOpen(*again, RegRoot::CurrentUser, "Software\\Acme", RegAccess::Read, RegStatus::Ok);
    ASSERT_EQ(again->queryValue(*userKey, "Theme", value), RegStatus::Ok);
    EXPECT_EQ(value.data, "light");
}

// A user who may write neither the file nor its folder, with no -wal and -shm
// left beside it, can still read the store. Run as another user when the test
// runs as root, since root may write anything.
TEST_F(RegistryStoreTest, ReadOnlyFolderWithoutSharedMemoryFileCanBeRead) {
    fillStore(*store);
    acc.reset();
    store.reset();
    for (const char* extra : {"/machine.db-wal", "/machine.db-shm"})
        fs::remove(dir + extra);
    ASSERT_EQ(chmod((dir + "/machine.db").c_str(), 0444), 0);
    ASSERT_EQ(chmod((dir + "/user.db").c_str(), 0444), 0);
    for (const std::string& folder : {tmp.str(), tmp.str() + "/registry", dir})
        ASSERT_EQ(chmod(folder.c_str(), 0555), 0);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(10);
        auto limited = openRegistryStore(dir);
        try {
            limited->check();
        } catch (const std::exception&) {
            _exit(11);
        }
        auto a = limited->accessor();
        std::unique_ptr<RegKey> key;
        if (a->openKey(RegRoot::LocalMachine, "Software\\Acme", RegAccess::Full, key) !=
            RegStatus::AccessDenied)
            _exit(12);
        if (a->openKey(RegRoot::LocalMachine, "Software\\Acme", RegAccess::Read, key) !=
            RegStatus::Ok)
            _exit(13);
        RegValue value;
        if (a->queryValue(*key, "Path", value) != RegStatus::Ok || value.data != "C:\\Acme")
            _exit(14);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: no such user, 11: check failed, 12: full access "
                                         "granted, 13: cannot open, 14: cannot read";
}

TEST_F(RegistryStoreTest, FileThatIsNotADatabaseIsReportedAndLeftAlone) {
    std::mt19937 random(42);
    std::string garbage(8192, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random());
    const auto path = tmp.write("registry/store/machine.db", garbage);

    const std::string error = checkError(*store);
    EXPECT_NE(error.find("'" + path.string() + "'"), std::string::npos) << error;
    EXPECT_NE(error.find("is not a valid registry database"), std::string::npos) << error;
    EXPECT_NE(error.find("file is not a database"), std::string::npos) << error;

    // Operations fail cleanly; the user root in its own file still works.
    std::unique_ptr<RegKey> key;
    EXPECT_EQ(acc->openKey(RegRoot::LocalMachine, "", RegAccess::Read, key),
              RegStatus::StoreFailure);
    EXPECT_EQ(acc->createKey(RegRoot::LocalMachine, "Software", RegAccess::Full, key),
              RegStatus::StoreFailure);
    EXPECT_EQ(acc->createKey(RegRoot::CurrentUser, "Software", RegAccess::Full, key),
              RegStatus::Ok);
    acc->beginTransaction();
    EXPECT_EQ(acc->openKey(RegRoot::ClassesRoot, "", RegAccess::Read, key),
              RegStatus::StoreFailure);
    acc->rollback();
    acc.reset();
    store.reset();
    EXPECT_EQ(tmp.read("registry/store/machine.db"), garbage);
}

TEST_F(RegistryStoreTest, DamageInsideARecognisedStoreGivesStoreFailure) {
    auto key = mustCreate(*acc, RegRoot::LocalMachine, "Software\\Big");
    for (int i = 0; i < 200; ++i) {
        mustCreate(*acc, RegRoot::LocalMachine, "Software\\Big\\Key " + std::to_string(i));
        ASSERT_EQ(acc->setValue(*key, "v" + std::to_string(i), kRegBinary, std::string(300, 'x')),
                  RegStatus::Ok);
    }
    acc.reset();
    store.reset();
    // The header stays intact, so the file is still recognised; the pages
    // behind it are garbage.
    std::string bytes = tmp.read("registry/store/machine.db");
    ASSERT_GT(bytes.size(), 16384u);
    std::mt19937 random(7);
    for (size_t i = 4096; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(random());
    tmp.write("registry/store/machine.db", bytes);
    for (const char* extra : {"/machine.db-wal", "/machine.db-shm"})
        fs::remove(dir + extra);

    auto damaged = openRegistryStore(dir);
    auto a = damaged->accessor();
    std::vector<RegStatus> seen;
    std::unique_ptr<RegKey> opened;
    seen.push_back(a->openKey(RegRoot::LocalMachine, "Software\\Big", RegAccess::Full, opened));
    if (opened) {
        RegKeyInfo info;
        seen.push_back(a->queryInfo(*opened, info));
        seen.push_back(a->setValue(*opened, "new", kRegSz, "x"));
    }
    std::unique_ptr<RegKey> created;
    seen.push_back(
        a->createKey(RegRoot::LocalMachine, "Software\\Other", RegAccess::Full, created));
    EXPECT_NE(std::find(seen.begin(), seen.end(), RegStatus::StoreFailure), seen.end());
    EXPECT_EQ(std::find(seen.begin(), seen.end(), RegStatus::Ok), seen.end());
    a.reset();
    damaged.reset();
    EXPECT_EQ(tmp.read("registry/store/machine.db"), bytes);
}

TEST_F(RegistryStoreTest, DatabaseOfAnotherProgramIsReportedAndLeftAlone) {
    fs::create_directories(dir);
    makeSqliteFile(dir + "/user.db",
                   "CREATE TABLE keys(id INTEGER PRIMARY KEY, name TEXT);"
                   "INSERT INTO keys VALUES(1, 'not ours');");
    const std::string before = tmp.read("registry/store/user.db");

    const std::string error = checkError(*store);
    EXPECT_NE(error.find("'" + dir + "/user.db'"), std::string::npos) << error;
    EXPECT_NE(error.find("database of another program"), std::string::npos) << error;
    std::unique_ptr<RegKey> key;
    EXPECT_EQ(acc->createKey(RegRoot::CurrentUser, "Software", RegAccess::Full, key),
              RegStatus::StoreFailure);
    acc.reset();
    store.reset();
    EXPECT_EQ(tmp.read("registry/store/user.db"), before);

    // An empty database made by anyone else is not taken over either.
    fs::remove(dir + "/user.db");
    makeSqliteFile(dir + "/user.db", "PRAGMA user_version=7");
    EXPECT_NE(checkError(*openRegistryStore(dir)).find("another program"), std::string::npos);
}

TEST_F(RegistryStoreTest, StoreOfANewerVersionIsNotTouched) {
    store->check();
    store.reset();
    acc.reset();
    makeSqliteFile(dir + "/machine.db", "PRAGMA user_version=99");
    const std::string before = tmp.read("registry/store/machine.db");
    EXPECT_NE(checkError(*openRegistryStore(dir)).find("newer version"), std::string::npos);
    EXPECT_EQ(tmp.read("registry/store/machine.db"), before);
}

TEST_F(RegistryStoreTest, EmptyFileBecomesAStore) {
    tmp.write("registry/store/machine.db", "");
    EXPECT_EQ(checkError(*store), "");
    mustCreate(*acc, RegRoot::LocalMachine, "Software");
    tryOpen(*acc, RegRoot::LocalMachine, "software", RegAccess::Read, RegStatus::Ok);
}

TEST_F(RegistryStoreTest, FolderThatCannotBeMadeIsNamed) {
    tmp.write("plain file", "x");
    auto impossible = openRegistryStore(tmp.str() + "/plain file/registry");
    const std::string error = checkError(*impossible);
    EXPECT_NE(error.find("'" + tmp.str() + "/plain file/registry'"), std::string::npos) << error;
    std::unique_ptr<RegKey> key;
    EXPECT_EQ(impossible->accessor()->openKey(RegRoot::CurrentUser, "", RegAccess::Read, key),
              RegStatus::StoreFailure);
}

TEST_F(RegistryStoreTest, TwoStoresOnOneFolderSeeEachOthersCommits) {
    auto second = openRegistryStore(dir);
    auto b = second->accessor();
    auto key = mustCreate(*acc, RegRoot::LocalMachine, "Shared");
    ASSERT_EQ(acc->setValue(*key, "v", kRegSz, "from the first"), RegStatus::Ok);
    auto seen = tryOpen(*b, RegRoot::LocalMachine, "SHARED", RegAccess::Full, RegStatus::Ok);
    ASSERT_TRUE(seen);
    RegValue value;
    ASSERT_EQ(b->queryValue(*seen, "v", value), RegStatus::Ok);
    EXPECT_EQ(value.data, "from the first");

    ASSERT_EQ(b->setValue(*seen, "v", kRegSz, "from the second"), RegStatus::Ok);
    ASSERT_EQ(acc->queryValue(*key, "v", value), RegStatus::Ok);
    EXPECT_EQ(value.data, "from the second");

    b->beginTransaction();
    ASSERT_EQ(b->setValue(*seen, "w", kRegSz, "grouped"), RegStatus::Ok);
    EXPECT_EQ(acc->queryValue(*key, "w", value), RegStatus::NotFound);
    b->commit();
    EXPECT_EQ(acc->queryValue(*key, "w", value), RegStatus::Ok);
}
