// The information editor's rows against a real registry store.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>

#include "platform/WinePrefix.h"
#include "registry/SettingsWriter.h"
#endif

#include <filesystem>
#include <functional>

#include "actions/EditInfoModel.h"
#include "language/MessageCatalogue.h"
#include "registry/RegistryBackup.h"
#include "support/RegistryFixture.h"

using namespace vornak;
using namespace vornak::actions;
using platform::RegRoot;

namespace {

const std::string kKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme";
const std::string kKeyPath = "\\" + kKey;

class EditInfoModelTest : public test::RegistryFixture {
  protected:
    EditInfoModel open(const char* root) {
        EditInfoModel model;
        model.setTarget(root, kKeyPath);
        model.load();
        return model;
    }
    std::string text(RegRoot root, const std::string& name) {
        auto v = value(root, kKey, name);
        if (!v)
            return "<none>";
        return v->data.substr(0, v->data.find('\0')) +
               (v->type == platform::kRegSz ? "" : "<type>");
    }
};

}  // namespace

TEST_F(EditInfoModelTest, LoadsTheStringValuesOfTheRightRootSortedByName) {
    setString(RegRoot::LocalMachine, kKey, "zeta", "machine");
    setString(RegRoot::LocalMachine, kKey, "Alpha", "a");
    setString(RegRoot::LocalMachine, kKey, "beta", "b");
    setValue(RegRoot::LocalMachine, kKey, "Expand", platform::kRegExpandSz,
             std::string("%X%\0", 4));
    setValue(RegRoot::LocalMachine, kKey, "Number", platform::kRegDword, std::string(4, '\1'));
    setString(RegRoot::CurrentUser, kKey, "user", "only here");

    EXPECT_EQ(open("LM").rows(),
              (std::vector<InfoRow>{{"Alpha", "a"}, {"beta", "b"}, {"zeta", "machine"}}));
    EXPECT_EQ(open("CU").rows(), (std::vector<InfoRow>{{"user", "only here"}}));
}

TEST_F(EditInfoModelTest, OtherTypesOnlyAndAKeyThatHasGoneGiveEmptyLists) {
    setValue(RegRoot::CurrentUser, kKey, "Number", platform::kRegDword, std::string(4, '\1'));
    EXPECT_TRUE(open("CU").rows().empty());
    // The registration went since the last rebuild: opening makes its key again, empty.
    EXPECT_TRUE(open("LM").rows().empty());
    EXPECT_TRUE(keyExists(RegRoot::LocalMachine, kKey));
}

TEST_F(EditInfoModelTest, ChangesAndAdditionsReachTheRegistryOnlyOnSave) {
    setString(RegRoot::CurrentUser, kKey, "DisplayName", "Acme");
    setString(RegRoot::CurrentUser, kKey, "Publisher", "Old");
    EditInfoModel model = open("CU");
    EXPECT_TRUE(model.save().empty());
    EXPECT_FALSE(model.modified());

    model.change(1, "New");
    model.add("", "default");
    model.add("Extra", "first");
    model.add("Extra", "second");
    EXPECT_TRUE(model.modified());
    EXPECT_EQ(model.rows(), (std::vector<InfoRow>{{"", "default"},
                                                  {"DisplayName", "Acme"},
                                                  {"Extra", "first"},
                                                  {"Extra", "second"},
                                                  {"Publisher", "New"}}));
    EXPECT_EQ(text(RegRoot::CurrentUser, "Publisher"), "Old");
    EXPECT_EQ(text(RegRoot::CurrentUser, "Extra"), "<none>");

    EXPECT_TRUE(model.save().empty());
    EXPECT_EQ(text(RegRoot::CurrentUser, "Publisher"), "New");
    EXPECT_EQ(text(RegRoot::CurrentUser, ""), "default");
    EXPECT_EQ(text(RegRoot::CurrentUser, "Extra"), "second") << "the lower row is written last";
    EXPECT_EQ(open("CU").rows().size(), 4u);
}

TEST_F(EditInfoModelTest, RemovalActsAtOnce) {
    setString(RegRoot::CurrentUser, kKey, "A", "1");
    setString(RegRoot::CurrentUser, kKey, "B", "2");
    EditInfoModel model = open("CU");
    model.remove(0);
    EXPECT_EQ(model.rows(), (std::vector<InfoRow>{{"B", "2"}}));
    EXPECT_FALSE(model.modified());
    EXPECT_EQ(text(RegRoot::CurrentUser, "A"), "<none>");
    model.remove(5);  // no such row
    EXPECT_EQ(model.rows().size(), 1u);
}

TEST_F(EditInfoModelTest, FailedWritesAndRemovalsAreReportedAndTheRowsStayTrue) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: a read-only store file stands for a limited user";
#endif
    messages().clear();
    setString(RegRoot::LocalMachine, kKey, "Keep", "me");
    EditInfoModel model = open("LM");
    // A limited user: the machine store is read-only.
    platform::setDefaultRegistryStore(nullptr);
    store.reset();
    ASSERT_EQ(chmod((tmp.str() + "/registry/machine.db").c_str(), 0444), 0);
    store = platform::openRegistryStore(tmp.str() + "/registry");
    platform::setDefaultRegistryStore(store);

    try {
        model.remove(0);
        FAIL() << "a removal the store refused passed for done";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "The value Keep could not be removed: Access is denied.");
    }
    EXPECT_EQ(model.rows(), (std::vector<InfoRow>{{"Keep", "me"}}));

    model.add("", "x");
    EXPECT_EQ(model.save(), (std::vector<std::string>{"", "Keep"}));
    EXPECT_EQ(text(RegRoot::LocalMachine, "Keep"), "me");
}

TEST_F(EditInfoModelTest, AStoreThatCannotWriteItsFileSaysWhy) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: a Wine prefix's files, and a limit on the size of files written";
#else
    messages().clear();
    std::string text = "WINE REGISTRY Version 2\n\n#arch=win64\n\n[" + kKey + "] 1796702855\n";
    for (size_t at = 0; (at = text.find('\\', at + 2)) != std::string::npos;)
        text.insert(at, 1, '\\');
    text += "\"Keep\"=\"me\"\n\n[Filler] 1796702855\n\"F\"=\"" + std::string(4096, 'x') + "\"\n";
    for (const char* f : {"system.reg", "user.reg", "userdef.reg"})
        tmp.write(std::string("pfx/") + f, text);
    store = platform::openPrefixRegistryStore(tmp.str() + "/pfx");
    platform::setDefaultRegistryStore(store);
    EditInfoModel model = open("LM");
    ASSERT_EQ(model.rows(), (std::vector<InfoRow>{{"Keep", "me"}}));

    // Files may not grow past 1 KB now: every write fails as on a full disk,
    // with the system's own reason.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    const rlimit small{1024, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    std::string removal;
    try {
        model.remove(0);
    } catch (const std::runtime_error& e) {
        removal = e.what();
    }
    model.add("New", "x");
    const auto failed = model.save();
    std::string settings;
    const auto status = WriteRegValues("LM", "\\SOFTWARE\\Vornak", {{"lang", "English"}},
                                       std::chrono::seconds(1), &settings);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);

    const std::string why = std::strerror(EFBIG);
    EXPECT_NE(removal.find("The value Keep could not be removed: "), std::string::npos) << removal;
    EXPECT_NE(removal.find(why), std::string::npos) << removal;
    EXPECT_EQ(failed, (std::vector<std::string>{"Keep", "New"}));
    EXPECT_NE(model.saveFailure().find(why), std::string::npos) << model.saveFailure();
    EXPECT_EQ(status, platform::RegStatus::StoreFailure);
    EXPECT_NE(settings.find(why), std::string::npos) << settings;
    EXPECT_EQ(tmp.read("pfx/system.reg"), text);
#endif
}

TEST_F(EditInfoModelTest, RemovalAndSaveChangeNothingWithoutABackupAndTheBackupUndoesThem) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: permission bits";
#else
    setString(RegRoot::LocalMachine, kKey, "Keep", "me");
    setString(RegRoot::LocalMachine, kKey, "Other", "o");
    EditInfoModel model = open("LM");
    const std::string backups = programHost + "/backups";
    std::filesystem::create_directories(backups);
    ASSERT_EQ(chmod(backups.c_str(), 0555), 0);
    for (const auto& change : std::vector<std::function<void()> >{[&] { model.remove(0); },
                                                                  [&] {
                                                                      model.change(0, "changed");
                                                                      model.save();
                                                                  }}) {
        try {
            change();
            FAIL() << "a change went ahead without its backup";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(std::strerror(EACCES)), std::string::npos)
                << e.what();
        }
        EXPECT_EQ(text(RegRoot::LocalMachine, "Keep"), "me");
        EXPECT_EQ(text(RegRoot::LocalMachine, "Other"), "o");
    }

    ASSERT_EQ(chmod(backups.c_str(), 0755), 0);
    model.remove(1);  // "Other"
    ASSERT_EQ(text(RegRoot::LocalMachine, "Other"), "<none>");
    const auto written = registry::listBackups(*fs, registry::backupsFolder(*fs));
    ASSERT_EQ(written.size(), 1u);
    auto accessor = store->accessor();
    registry::restoreBackup(*fs, registry::backupsFolder(*fs), *accessor, written[0].name);
    EXPECT_EQ(text(RegRoot::LocalMachine, "Other"), "o");
    EXPECT_EQ(text(RegRoot::LocalMachine, "Keep"), "me");
#endif
}
