// Backups before a change against a real store and real files: what they put
// back, when they cannot be written, and which ones the retention removes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>

#include "registry/RegFileStore.h"
#include "registry/RegistryBackup.h"
#include "support/RegistryFixture.h"

namespace vornak::registry {
namespace {

using platform::RegRoot;
using platform::RegStatus;
using namespace std::string_literals;

const std::string kKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme";

class RegistryBackupTest : public test::RegistryFixture {
  protected:
    // Every key with its values, as one comparable text.
    std::string treeText(RegRoot root, const std::string& path) {
        auto acc = store->accessor();
        std::vector<RegFileKey> keys;
        if (readKeyTree(*acc, root, path, keys) != RegStatus::Ok)
            return "<missing>";
        std::string text;
        for (const auto& key : keys) {
            text += "[" + key.path + "]";
            for (const auto& v : key.values)
                text += " " + v.name + ":" + std::to_string(v.type) + "=" + v.data;
            text += "\n";
        }
        return text;
    }
    std::string folder() { return backupsFolder(*fs); }
    std::string backUp(const std::string& path, std::time_t when = std::time(nullptr)) {
        auto acc = store->accessor();
        std::vector<RegFileRestoreKey> keys;
        EXPECT_EQ(keyTreeImage(*acc, RegRoot::LocalMachine, path, keys), RegStatus::Ok);
        std::string error;
        const auto name = writeBackup(*fs, folder(), keys, "deleted Acme: 1/2", error, when);
        EXPECT_TRUE(name) << error;
        return name.value_or("");
    }
    void restore(const std::string& name) {
        auto acc = store->accessor();
        restoreBackup(*fs, folder(), *acc, name);
    }
};

TEST_F(RegistryBackupTest, RestoringPutsTheKeyTreeBackWholeAfterEveryKindOfChange) {
    struct Case {
        const char* change;
        std::function<void()> apply;
    };
    const std::vector<Case> cases = {
        {"the key deleted with its subkeys",
         [this] {
             auto acc = store->accessor();
             ASSERT_EQ(deleteKeyTree(*acc, RegRoot::LocalMachine, kKey), RegStatus::Ok);
         }},
        {"values changed, added and removed; a subkey added",
         [this] {
             setString(RegRoot::LocalMachine, kKey, "DisplayName", "changed");
             setString(RegRoot::LocalMachine, kKey, "Added", "new");
             setString(RegRoot::LocalMachine, kKey + "\\New sub", "x", "y");
             auto acc = store->accessor();
             std::unique_ptr<platform::RegKey> key;
             ASSERT_EQ(acc->openKey(RegRoot::LocalMachine, kKey, platform::RegAccess::Full, key),
                       RegStatus::Ok);
             ASSERT_EQ(acc->deleteValue(*key, "Size"), RegStatus::Ok);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        auto acc = store->accessor();
        deleteKeyTree(*acc, RegRoot::LocalMachine, kKey);
        setString(RegRoot::LocalMachine, kKey, "DisplayName", "Acme \"1\" \\ \xC3\xA6");
        setString(RegRoot::LocalMachine, kKey, "", "default");
        setValue(RegRoot::LocalMachine, kKey, "Size", platform::kRegDword, "\x01\x02\x03\x04"s);
        setValue(RegRoot::LocalMachine, kKey, "Path", platform::kRegExpandSz, "%X%\\y\0"s);
        setValue(RegRoot::LocalMachine, kKey + "\\Sub\\Deeper", "Bin", platform::kRegBinary,
                 "\x00\xFF"s);
        const std::string before = treeText(RegRoot::LocalMachine, kKey);

        const std::string name = backUp(kKey);
        c.apply();
        ASSERT_NE(treeText(RegRoot::LocalMachine, kKey), before);
        restore(name);
        EXPECT_EQ(treeText(RegRoot::LocalMachine, kKey), before);
    }
    // A key that did not exist when it was backed up is gone again.
    const std::string none = backUp(kKey + "\\Not yet");
    setString(RegRoot::LocalMachine, kKey + "\\Not yet", "v", "w");
    restore(none);
    EXPECT_FALSE(keyExists(RegRoot::LocalMachine, kKey + "\\Not yet"));
}

TEST_F(RegistryBackupTest, NamesAreFileNamesListedNewestFirstAndOnlyOldOnesArePruned) {
    const std::time_t now = std::time(nullptr);
    const std::time_t day = 24 * 60 * 60;
    setString(RegRoot::LocalMachine, kKey, "DisplayName", "Acme");
    const std::string old = backUp(kKey, now - 91 * day);
    const std::string recent = backUp(kKey, now - 89 * day);
    const std::string first = backUp(kKey, now);
    const std::string second = backUp(kKey, now);  // the same second
    EXPECT_NE(first.find(" deleted Acme_ 1_2.reg"), std::string::npos) << first;
    EXPECT_NE(second, first);
    // Not a backup's name: never listed, never removed.
    tmp.write("drive c/Program Files/Vornak/backups/notes.reg", "x");

    auto names = [&] {
        std::vector<std::string> listed;
        for (const auto& b : listBackups(*fs, folder()))
            listed.push_back(b.name);
        return listed;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{second, first, recent, old}));
    EXPECT_EQ(pruneBackups(*fs, folder(), 90, now), 1);
    EXPECT_EQ(names(), (std::vector<std::string>{second, first, recent}));
    EXPECT_TRUE(std::filesystem::exists(programHost + "/backups/notes.reg"));
}

TEST_F(RegistryBackupTest, AFolderThatCannotBeWrittenGivesNoBackupAndSaysWhy) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: permission bits";
#else
    std::filesystem::create_directories(programHost + "/backups");
    ASSERT_EQ(chmod((programHost + "/backups").c_str(), 0555), 0);
    setString(RegRoot::LocalMachine, kKey, "DisplayName", "Acme");
    auto acc = store->accessor();
    std::vector<RegFileRestoreKey> keys;
    ASSERT_EQ(keyTreeImage(*acc, RegRoot::LocalMachine, kKey, keys), RegStatus::Ok);
    std::string error;
    EXPECT_FALSE(writeBackup(*fs, folder(), keys, "x", error));
    EXPECT_NE(error.find(std::strerror(EACCES)), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_empty(programHost + "/backups"));
    chmod((programHost + "/backups").c_str(), 0755);
#endif
}

}  // namespace
}  // namespace vornak::registry
