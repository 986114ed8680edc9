// The registry of a 64-bit Windows on the SQLite store: HKEY_CLASSES_ROOT as
// the merged view of both Classes keys, the 32-bit view, and stores written
// when HKCR was a root of its own.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "platform/model/Wow64View.h"
#include "RegistryStoreTestSupport.h"

namespace vornak::test {
namespace {

using platform::RegAccess;
using platform::RegRoot;
using platform::RegStatus;
using platform::RegValue;

class RegistryModelTest : public RegistryStoreTest {
  protected:
    void set(RegRoot root, const std::string& path, const std::string& name,
             const std::string& text) {
        auto key = mustCreate(*acc, root, path);
        ASSERT_EQ(acc->setValue(*key, name, platform::kRegSz, text + '\0'), RegStatus::Ok);
    }
    // The text of a value, or "<none>".
    std::string get(RegRoot root, const std::string& path, const std::string& name) {
        std::unique_ptr<platform::RegKey> key;
        RegValue value;
        if (acc->openKey(root, path, RegAccess::Read, key) != RegStatus::Ok ||
            acc->queryValue(*key, name, value) != RegStatus::Ok)
            return "<none>";
        return value.data.substr(0, value.data.find('\0'));
    }
    bool exists(RegRoot root, const std::string& path) {
        std::unique_ptr<platform::RegKey> key;
        return acc->openKey(root, path, RegAccess::Read, key) == RegStatus::Ok;
    }
};

TEST_F(RegistryModelTest, ClassesRootReadsBothClassesKeysWithTheUsersWinning) {
    set(RegRoot::LocalMachine, "Software\\Classes\\.txt", "", "txtfile");
    set(RegRoot::LocalMachine, "Software\\Classes\\.txt", "Shared", "machine");
    set(RegRoot::CurrentUser, "Software\\Classes\\.TXT", "Shared", "user");
    set(RegRoot::CurrentUser, "Software\\Classes\\Alpha", "", "a");
    set(RegRoot::LocalMachine, "Software\\Classes\\Zeta", "", "z");

    auto root = tryOpen(*acc, RegRoot::ClassesRoot, "", RegAccess::Full, RegStatus::Ok);
    ASSERT_TRUE(root);
    // Once each, in name order, the user's spelling where both have the key.
    EXPECT_EQ(subkeyNames(*acc, *root), (std::vector<std::string>{".TXT", "Alpha", "Zeta"}));
    auto txt = tryOpen(*acc, RegRoot::ClassesRoot, ".txt", RegAccess::Read, RegStatus::Ok);
    ASSERT_TRUE(txt);
    EXPECT_EQ(valueNames(*acc, *txt), (std::vector<std::string>{"Shared", ""}));
    EXPECT_EQ(get(RegRoot::ClassesRoot, ".txt", "Shared"), "user");
    EXPECT_EQ(get(RegRoot::ClassesRoot, ".txt", ""), "txtfile");
    platform::RegKeyInfo info;
    ASSERT_EQ(acc->queryInfo(*txt, info), RegStatus::Ok);
    EXPECT_EQ(info.valueCount, 2u);
    tryOpen(*acc, RegRoot::ClassesRoot, "Missing", RegAccess::Read, RegStatus::NotFound);
}

TEST_F(RegistryModelTest, ClassesRootWritesGoWhereTheKeyIsAndNewKeysToTheMachine) {
    set(RegRoot::CurrentUser, "Software\\Classes\\Both", "v", "user");
    set(RegRoot::LocalMachine, "Software\\Classes\\Both", "v", "machine");
    set(RegRoot::LocalMachine, "Software\\Classes\\MachineOnly", "", "m");

    set(RegRoot::ClassesRoot, "Both", "w", "new");
    EXPECT_EQ(get(RegRoot::CurrentUser, "Software\\Classes\\Both", "w"), "new");
    EXPECT_EQ(get(RegRoot::LocalMachine, "Software\\Classes\\Both", "w"), "<none>");
    set(RegRoot::ClassesRoot, "MachineOnly", "w", "new");
    EXPECT_EQ(get(RegRoot::LocalMachine, "Software\\Classes\\MachineOnly", "w"), "new");
    bool created = false;
    std::unique_ptr<platform::RegKey> key;
    ASSERT_EQ(acc->createKey(RegRoot::ClassesRoot, "Fresh\\Sub", RegAccess::Full, key, &created),
              RegStatus::Ok);
    EXPECT_TRUE(created);
    EXPECT_TRUE(exists(RegRoot::LocalMachine, "Software\\Classes\\Fresh\\Sub"));
    EXPECT_FALSE(exists(RegRoot::CurrentUser, "Software\\Classes\\Fresh"));

    // Deleting takes the user's copy first; the machine's then shows through.
    auto both = tryOpen(*acc, RegRoot::ClassesRoot, "Both", RegAccess::Full, RegStatus::Ok);
    ASSERT_TRUE(both);
    EXPECT_EQ(acc->deleteValue(*both, "v"), RegStatus::Ok);
    EXPECT_EQ(get(RegRoot::ClassesRoot, "Both", "v"), "machine");
    auto root = tryOpen(*acc, RegRoot::ClassesRoot, "", RegAccess::Full, RegStatus::Ok);
    EXPECT_EQ(acc->deleteKey(*root, "Fresh"), RegStatus::HasSubkeys);
    EXPECT_EQ(acc->deleteKey(*root, "Both"), RegStatus::Ok);
    EXPECT_FALSE(exists(RegRoot::CurrentUser, "Software\\Classes\\Both"));
    EXPECT_TRUE(exists(RegRoot::ClassesRoot, "Both"));
    EXPECT_EQ(acc->deleteKey(*root, "Both"), RegStatus::Ok);
    EXPECT_FALSE(exists(RegRoot::ClassesRoot, "Both"));
    EXPECT_EQ(acc->deleteKey(*root, "Both"), RegStatus::NotFound);
}

TEST_F(RegistryModelTest, KeysOfTheOldClassesRootMoveBelowTheMachinesClassesKey) {
    set(RegRoot::LocalMachine, "SOFTWARE\\Classes\\.doc", "Kept", "machine");
    set(RegRoot::LocalMachine, "SOFTWARE\\Classes\\.doc", "Both", "machine");
    acc.reset();
    store.reset();
    // As a store of an earlier version holds them: below a root "hkcr" of machine.db.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir + "/machine.db").c_str(), &db), SQLITE_OK);
    const char* legacy =
        "INSERT INTO keys(parent, name, folded, path) SELECT id, '.doc', '.doc', 'hkcr\\.doc' "
        "FROM keys WHERE path = 'hkcr';"
        "INSERT INTO keys(parent, name, folded, path) SELECT id, 'Old App', 'old app', "
        "'hkcr\\.doc\\old app' FROM keys WHERE path = 'hkcr\\.doc';"
        "INSERT INTO vals(key, name, folded, type, data) SELECT id, 'Both', 'both', 1, "
        "CAST('classes' || char(0) AS BLOB) FROM keys WHERE path = 'hkcr\\.doc';"
        "INSERT INTO vals(key, name, folded, type, data) SELECT id, 'Deep', 'deep', 4, "
        "x'07000000' FROM keys WHERE path = 'hkcr\\.doc\\old app';";
    ASSERT_EQ(sqlite3_exec(db, legacy, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);

    store = platform::openRegistryStore(dir);
    store->check();
    acc = store->accessor();
    EXPECT_EQ(get(RegRoot::LocalMachine, "SOFTWARE\\Classes\\.doc", "Kept"), "machine");
    EXPECT_EQ(get(RegRoot::LocalMachine, "SOFTWARE\\Classes\\.doc", "Both"), "classes");
    auto deep = tryOpen(*acc, RegRoot::ClassesRoot, ".doc\\Old App", RegAccess::Read, RegStatus::Ok);
    ASSERT_TRUE(deep);
    ASSERT_EQ(values(*acc, *deep).size(), 1u);
    EXPECT_EQ(values(*acc, *deep)[0].data, std::string("\x07\0\0\0", 4));
    acc.reset();
    store.reset();
    ASSERT_EQ(sqlite3_open((dir + "/machine.db").c_str(), &db), SQLITE_OK);
    int left = -1;
    sqlite3_exec(
        db, "SELECT count(*) FROM keys WHERE substr(path, 1, 5) = 'hkcr\\'",
        [](void* out, int, char** row, char**) {
            *static_cast<int*>(out) = std::atoi(row[0]);
            return 0;
        },
        &left, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(left, 0);
}

TEST_F(RegistryModelTest, TheThirtyTwoBitViewUsesWow6432NodeAsWindowsDoes) {
    using platform::wow64Path;
    EXPECT_EQ(wow64Path(RegRoot::LocalMachine, "SOFTWARE\\Acme\\App"),
              "SOFTWARE\\Wow6432Node\\Acme\\App");
    EXPECT_EQ(wow64Path(RegRoot::LocalMachine, "Software"), "Software\\Wow6432Node");
    EXPECT_EQ(wow64Path(RegRoot::LocalMachine, "Software\\Wow6432Node\\Acme"),
              "Software\\Wow6432Node\\Acme");
    EXPECT_EQ(wow64Path(RegRoot::LocalMachine, "Software\\Clients\\Mail"), "Software\\Clients\\Mail");
    EXPECT_EQ(wow64Path(RegRoot::LocalMachine,
                        "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"),
              "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
    EXPECT_EQ(wow64Path(RegRoot::LocalMachine, "Software\\Classes\\CLSID\\{1}"),
              "Software\\Classes\\Wow6432Node\\CLSID\\{1}");
    EXPECT_EQ(wow64Path(RegRoot::LocalMachine, "Software\\Classes\\.txt"), "Software\\Classes\\.txt");
    EXPECT_EQ(wow64Path(RegRoot::ClassesRoot, "Interface\\{2}"), "Wow6432Node\\Interface\\{2}");
    EXPECT_EQ(wow64Path(RegRoot::ClassesRoot, "CLSIDX"), "CLSIDX");
    EXPECT_EQ(wow64Path(RegRoot::CurrentUser, "Software\\Acme"), "Software\\Acme");
    EXPECT_EQ(wow64Path(RegRoot::CurrentUser, "Software\\Classes\\CLSID"),
              "Software\\Classes\\Wow6432Node\\CLSID");
    EXPECT_EQ(wow64Path(RegRoot::LocalMachine, "SYSTEM\\Software"), "SYSTEM\\Software");

    auto view = platform::wow64View(store->accessor());
    std::unique_ptr<platform::RegKey> key;
    ASSERT_EQ(view->createKey(RegRoot::LocalMachine, "Software\\Acme", RegAccess::Full, key),
              RegStatus::Ok);
    EXPECT_EQ(key->path(), "Software\\Acme");
    ASSERT_EQ(view->setValue(*key, "Bits", platform::kRegSz, std::string("32\0", 3)), RegStatus::Ok);
    EXPECT_EQ(get(RegRoot::LocalMachine, "Software\\Wow6432Node\\Acme", "Bits"), "32");
    EXPECT_FALSE(exists(RegRoot::LocalMachine, "Software\\Acme"));
    std::unique_ptr<platform::RegKey> software;
    ASSERT_EQ(view->openKey(RegRoot::LocalMachine, "Software", RegAccess::Full, software),
              RegStatus::Ok);
    EXPECT_EQ(subkeyNames(*view, *software), (std::vector<std::string>{"Acme"}));
    EXPECT_EQ(view->deleteKey(*software, "Acme"), RegStatus::Ok);
    EXPECT_FALSE(exists(RegRoot::LocalMachine, "Software\\Wow6432Node\\Acme"));
}

}  // namespace
}  // namespace vornak::test
