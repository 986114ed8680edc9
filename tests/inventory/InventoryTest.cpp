#include <gtest/gtest.h>
#include <sys/stat.h>

#include "inventory/Inventory.h"
#include "inventory/InventoryTestSupport.h"
#include "registry/RegistryAccess.h"

using namespace vornak;
using vornak::test::InventoryFixture;

namespace {
class InventoryTest : public InventoryFixture {};
}  // namespace

TEST_F(InventoryTest, ReadsBothRootsSortedByCaption) {
    const std::string exe = uninstaller("Program Files/Acme/uninst.exe");
    registration("LM", "Acme", "Acme Editor", exe);
    registration("CU", "Acme", "acme editor (user)", exe);
    registration("LM", "Zed", "Zed", exe);
    registration("CU", "bee", "bee", exe);
    registration("LM", "Eclair", "Éclair", exe);

    Inventory inv(&view);
    inv.RefreshInventory();
    EXPECT_EQ(captions(inv.master()), (std::vector<std::string>{"Acme Editor",
                                                                "acme editor (user)", "bee",
                                                                "Éclair", "Zed"}));
    EXPECT_EQ(inv.visible(), inv.master());
    const auto& lm = inv.master()[0];
    EXPECT_EQ(lm.rootCode, "LM");
    EXPECT_EQ(lm.keyPath, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme");
    EXPECT_EQ(lm.uninstallCommand, exe);
    EXPECT_EQ(inv.master()[1].rootCode, "CU");
    EXPECT_TRUE(inv.masterExists());
    EXPECT_TRUE(inv.sortAscending());
}

TEST_F(InventoryTest, CaptionsAndLeftOutRegistrations) {
    const std::string exe = uninstaller("u.exe");
    registration("LM", "Blanks", "   Spaced out  ", exe);
    registration("LM", "{1234-ABCD}", "", exe);
    registration("LM", "OnlyBlanks", "    ", exe);
    registration("LM", "NoCommand", "No command", "");
    setString(platform::RegRoot::LocalMachine,
              "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NoValue", "DisplayName",
              "Nothing to run");

    Inventory inv(&view);
    inv.RefreshInventory();
    EXPECT_EQ(captions(inv.master()),
              (std::vector<std::string>{"{1234-ABCD} ***", "OnlyBlanks ***", "Spaced out  "}));
    // Keys without a command still count for the splash screen's progress bar.
    EXPECT_EQ(view.splashMaximum, 5);
    EXPECT_EQ(view.splashSteps, 3);

    // After start-up the splash screen is gone and is left alone.
    inv.setStartupDone();
    view.splashMaximum = -1;
    view.splashSteps = 0;
    inv.RefreshInventory();
    EXPECT_EQ(view.splashMaximum, -1);
    EXPECT_EQ(view.splashSteps, 0);
}

TEST_F(InventoryTest, ClassifiesCommands) {
    const std::string exe = uninstaller("Program Files/Acme Tools/unins000.exe");
    auto status = [&](const std::string& cmd, const std::string& root) {
        return ClassifyUninstallCommand(cmd, root, *fs);
    };
    EXPECT_EQ(status(exe, "LM"), 0);
    EXPECT_EQ(status("\"" + exe + "\" /SILENT", "LM"), 0);
    EXPECT_EQ(status("\"C:\\Program Files\\Gone\\unins000.exe\" /SILENT", "LM"), 1);
    EXPECT_EQ(status("C:\\PROGRAM FILES\\ACME TOOLS\\UNINS000.EXE", "LM"), 0)
        << "Windows paths ignore letter case";
    EXPECT_EQ(status("\"c:\\program files\\acme tools\\Unins000.exe\" /S", "CU"), 0);
    EXPECT_EQ(status("C:\\PROGRAM FILES\\ACME TOOLS\\UNINS001.EXE", "LM"), 1);
    EXPECT_EQ(status("MsiExec.exe /X{12345678-1234}", "LM"), 0);
    EXPECT_EQ(status("MsiExec.exe /X{12345678-1234}", "CU"), 0);
    EXPECT_EQ(status("msiexec /x {1234}", "LM"), 0);
    EXPECT_EQ(status("msiexec /x {1234}", "CU"), 1);
    EXPECT_EQ(status("RunDll32 advpack.dll,LaunchINFSection x.inf", "CU"), 0);
    EXPECT_EQ(status("regsvr32 /u x.dll", "LM"), 0);
    EXPECT_EQ(status("rundll.exe setupx.dll", "LM"), 0);
    EXPECT_EQ(status("xyz", "LM"), 1) << "three characters that name no file";
#ifndef _WIN32
    // (On Windows a host path is a drive path, which goes through the drive map.)
    EXPECT_EQ(status(tmp.str() + "/drive c/Program Files/Acme Tools/unins000.exe", "LM"), 0)
        << "a plain host path is tested as it is";
#endif
}

TEST_F(InventoryTest, DeadRowsInTheList) {
    registration("LM", "Live", "Live", uninstaller("live.exe"));
    registration("LM", "Dead", "Dead", "\"C:\\gone\\uninstall.exe\" /S");
    Inventory inv(&view);
    inv.RefreshInventory();
    ASSERT_EQ(inv.master().size(), 2u);
    EXPECT_EQ(inv.master()[0].caption, "Dead");
    EXPECT_EQ(inv.master()[0].statusImage, 1);
    EXPECT_EQ(inv.master()[1].statusImage, 0);
}

TEST_F(InventoryTest, MalformedRegistrationDoesNotBreakTheList) {
    const std::string exe = uninstaller("u.exe");
    registration("LM", "A", "Zulu", exe);
    registration("LM", "B", "Alpha", exe);
    registration("LM", "C", "Broken name", exe);
    registration("LM", "D", "Broken command", exe);
    registration("CU", "E", "Mine", exe);
    const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    const std::string dword(4, '\0');
    setValue(platform::RegRoot::LocalMachine, key + "C", "DisplayName", platform::kRegDword, dword);
    setValue(platform::RegRoot::LocalMachine, key + "D", "UninstallString", platform::kRegDword,
             dword);

    Inventory inv(&view);
    inv.RefreshInventory();
    EXPECT_EQ(captions(inv.visible()),
              (std::vector<std::string>{"Alpha", "C ***", "Mine", "Zulu"}));
    for (const auto& row : inv.master()) {
        EXPECT_FALSE(row.uninstallCommand.empty());
        EXPECT_FALSE(row.keyPath.empty());
    }
}

TEST_F(InventoryTest, LimitedUserSeesBothRoots) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: a read-only store file stands for a limited user";
#else
    registration("CU", "Mine", "Mine", uninstaller("m.exe"));
    registration("LM", "Machine", "Machine", uninstaller("m.exe"));
    store.reset();
    platform::setDefaultRegistryStore(nullptr);
    ASSERT_EQ(chmod((tmp.str() + "/registry/machine.db").c_str(), 0444), 0);
    platform::setDefaultRegistryStore(platform::openRegistryStore(tmp.str() + "/registry"));
    Inventory inv(&view);
    inv.RefreshInventory();
    EXPECT_EQ(captions(inv.visible()), (std::vector<std::string>{"Machine", "Mine"}));
#endif
}

TEST_F(InventoryTest, UninstallKeyThatCannotBeOpenedStopsTheRefresh) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: a read-only store file stands for a limited user";
#else
    registration("CU", "Mine", "Mine", uninstaller("m.exe"));
    // machine.db exists but has no uninstall key, and may not be written.
    setString(platform::RegRoot::LocalMachine, "SOFTWARE\\Other", "v", "x");
    store.reset();
    platform::setDefaultRegistryStore(nullptr);
    ASSERT_EQ(chmod((tmp.str() + "/registry/machine.db").c_str(), 0444), 0);
    platform::setDefaultRegistryStore(platform::openRegistryStore(tmp.str() + "/registry"));
    Inventory inv(&view);
    EXPECT_THROW(inv.RefreshInventory(), SilentAbort);
    EXPECT_TRUE(inv.visible().empty());
    EXPECT_TRUE(inv.masterExists());
#endif
}

TEST_F(InventoryTest, CompareListRowsColumnsAndDirection) {
    UninstallEntry a{"alpha", 0, "z-cmd", "\\k\\2", "LM"};
    UninstallEntry b{"Beta", 1, "a-cmd", "\\k\\1", "CU"};
    EXPECT_LT(CompareListRows(a, b, 0, true), 0);
    EXPECT_GT(CompareListRows(a, b, 0, false), 0);
    EXPECT_GT(CompareListRows(a, b, 1, true), 0);
    EXPECT_GT(CompareListRows(a, b, 2, true), 0);
    EXPECT_GT(CompareListRows(a, b, 3, true), 0);
    EXPECT_EQ(CompareListRows(a, a, 0, false), 0);
}

TEST_F(InventoryTest, ThirtyTwoBitRegistrationsAreListedWithTheirKeyOnlyWhenTheKeyExists) {
    const std::string exe = uninstaller("Program Files (x86)/Old/uninst.exe");
    registration("LM", "New", "New", exe);
    Inventory inv(&view);
    inv.RefreshInventory();
    EXPECT_FALSE(keyExists(platform::RegRoot::LocalMachine, "SOFTWARE\\Wow6432Node"));

    const std::string wow = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old";
    setString(platform::RegRoot::LocalMachine, wow, "DisplayName", "Old 32-bit");
    setString(platform::RegRoot::LocalMachine, wow, "UninstallString", exe);
    inv.RefreshInventory();
    ASSERT_EQ(captions(inv.master()), (std::vector<std::string>{"New", "Old 32-bit"}));
    EXPECT_EQ(inv.master()[1].keyPath, "\\" + wow);
    EXPECT_EQ(inv.master()[1].rootCode, "LM");
    EXPECT_EQ(view.splashMaximum, 2);
}

// Listing must not write: a registration deleted while the list is read (by
// its own uninstaller, say) is left out, and not made again as an empty key.
TEST_F(InventoryTest, RegistrationDeletedWhileReadingIsNotMadeAgain) {
    const std::string exe = uninstaller("u.exe");
    registration("LM", "Alpha", "Alpha", exe);
    registration("LM", "Beta", "Beta", exe);
    const std::string beta = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Beta";
    struct DeletingView : test::RecordingView {
        platform::RegistryStore* store = nullptr;
        void stepSplash() override {
            RecordingView::stepSplash();
            auto acc = store->accessor();
            std::unique_ptr<platform::RegKey> parent;
            acc->openKey(platform::RegRoot::LocalMachine,
                         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                         platform::RegAccess::Full, parent);
            if (parent) acc->deleteKey(*parent, "Beta");
        }
    } deleting;
    deleting.store = store.get();

    Inventory inv(&deleting);  // before start-up: a splash step follows every row
    inv.RefreshInventory();
    EXPECT_EQ(captions(inv.master()), (std::vector<std::string>{"Alpha"}));
    EXPECT_FALSE(keyExists(platform::RegRoot::LocalMachine, beta));
}
