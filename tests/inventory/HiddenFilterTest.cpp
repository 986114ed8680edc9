#include <gtest/gtest.h>
#include <sys/stat.h>

#include "inventory/Inventory.h"
#include "inventory/InventoryTestSupport.h"
#include "registry/RegistryAccess.h"

using namespace vornak;

namespace {

class HiddenFilterTest : public test::InventoryFixture {
protected:
    void SetUp() override {
        InventoryFixture::SetUp();
        const std::string live = uninstaller("live.exe");
        registration("LM", "1", "Acme Editor", live);
        registration("LM", "2", "Acme Editor", live);  // the same display name twice
        registration("LM", "3", "acme editor", live);
        registration("LM", "4", "Acme Editor Pro", live);
        registration("CU", "5", "Zip Tool", live);
        inv.setView(&view);
        inv.RefreshInventory();
    }
    void writeHiddenFile(const std::string& bytes) {
        tmp.write("drive c/Program Files/Vornak/hidden.dat", bytes);
    }
    std::string hiddenFile() { return tmp.read("drive c/Program Files/Vornak/hidden.dat"); }
    Inventory inv;
};

}  // namespace

TEST_F(HiddenFilterTest, FirstRunTurnsTheFilterOnWithNothingHidden) {
    inv.startHiddenFilter();
    EXPECT_TRUE(inv.hiddenFilterOn());
    EXPECT_TRUE(inv.hiddenList().empty());
    EXPECT_EQ(inv.visible().size(), 5u);
    EXPECT_EQ(view.status, "5 programs");
}

TEST_F(HiddenFilterTest, ExactMatchHidesEveryRowWithThatCaption) {
    writeHiddenFile("Acme Editor\r\n");
    WriteRegBool("LM", kSettingsKeyPath, "hidehidden", true);
    inv.startHiddenFilter();
    EXPECT_EQ(captions(inv.visible()),
              (std::vector<std::string>{"acme editor", "Acme Editor Pro", "Zip Tool"}));
    EXPECT_EQ(inv.master(), inv.visible());
}

TEST_F(HiddenFilterTest, HideHiddenZeroStartsOff) {
    writeHiddenFile("Zip Tool\r\n");
    WriteRegBool("LM", kSettingsKeyPath, "hidehidden", false);
    inv.startHiddenFilter();
    EXPECT_FALSE(inv.hiddenFilterOn());
    EXPECT_EQ(inv.visible().size(), 5u);
    inv.VisIkkeSkjulteClick();
    EXPECT_TRUE(inv.hiddenFilterOn());
    EXPECT_EQ(inv.visible().size(), 4u);
    inv.VisIkkeSkjulteClick();  // off again: everything read anew
    EXPECT_EQ(inv.visible().size(), 5u);
    EXPECT_EQ(view.status, "5 programs");
}

TEST_F(HiddenFilterTest, HidingWithTheFilterOnAndOff) {
    inv.startHiddenFilter();
    inv.SkjulClick(4);  // Zip Tool
    EXPECT_EQ(inv.visible().size(), 4u);
    EXPECT_EQ(view.status, "4 programs");
    EXPECT_EQ(inv.master().size(), 5u) << "the master list keeps it until the next rebuild";
    inv.setFilterText("zip");
    EXPECT_EQ(inv.visible().size(), 1u) << "a text filter shows it again";
    inv.RefreshInventory();
    EXPECT_EQ(inv.visible().size(), 4u) << "the rebuild re-applies the filter";

    inv.VisIkkeSkjulteClick();  // off
    inv.SkjulClick(0);
    inv.SkjulClick(0);
    EXPECT_EQ(inv.visible().size(), 5u) << "with the filter off the entry stays visible";
    EXPECT_EQ(inv.hiddenList(),
              (std::vector<std::string>{"Zip Tool", "Acme Editor", "Acme Editor"}));
    EXPECT_THROW(inv.SkjulClick(-1), SilentAbort);
    EXPECT_THROW(inv.SkjulClick(5), SilentAbort);
}

TEST_F(HiddenFilterTest, HiddenFileLineRules) {
    writeHiddenFile(std::string("Zip Tool\r\n\r\nacme editor\rAcme Editor Pro\nafter\0Acme Editor\r\n", 60));
    inv.startHiddenFilter();
    EXPECT_EQ(inv.hiddenList(), (std::vector<std::string>{"Zip Tool", "", "acme editor",
                                                          "Acme Editor Pro", "after"}));
    EXPECT_EQ(captions(inv.visible()), (std::vector<std::string>{"Acme Editor", "Acme Editor"}));
    EXPECT_TRUE(parseHiddenList("").empty());
    EXPECT_EQ(parseHiddenList("a\n"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(parseHiddenList("a\n\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(parseHiddenList("\r\r\n"), (std::vector<std::string>{"", ""}));
}

TEST_F(HiddenFilterTest, SaveWritesCrLfAndReplacesAtomically) {
    inv.startHiddenFilter();
    inv.SkjulClick(0);
    inv.SkjulClick(1);
    inv.saveHiddenFilter();
    EXPECT_EQ(hiddenFile(), "Acme Editor\r\nacme editor\r\n");

    // A crash between writing the new file and renaming it leaves a stray new
    // file beside the old one; the old list is what the next start reads.
    tmp.write("drive c/Program Files/Vornak/hidden.dat.new-123", "half writ");
    Inventory next(&view);
    next.RefreshInventory();
    next.startHiddenFilter();
    EXPECT_EQ(next.hiddenList(), (std::vector<std::string>{"Acme Editor", "acme editor"}));

    next.setHiddenList({});
    next.saveHiddenFilter();
    EXPECT_EQ(hiddenFile(), "") << "an empty list gives an empty file";
}

TEST_F(HiddenFilterTest, ProtectedProgramFolderUsesTheUsersOwnFolder) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: write protection by chmod";
#else
    writeHiddenFile("Zip Tool\r\n");
    inv.startHiddenFilter();
    inv.SkjulClick(0);
    const std::string folder = tmp.str() + "/drive c/Program Files/Vornak";
    chmod(folder.c_str(), 0555);
    inv.saveHiddenFilter();
    EXPECT_EQ(tmp.read("user data/vornak/hidden.dat"), "Zip Tool\r\nAcme Editor\r\n");
    EXPECT_EQ(hiddenFile(), "Zip Tool\r\n") << "the file beside the program is left alone";

    // Once there, the user's copy is what is read, and written, from now on,
    // also when the program's folder can be written again.
    chmod(folder.c_str(), 0755);
    Inventory next(&view);
    next.RefreshInventory();
    next.startHiddenFilter();
    EXPECT_EQ(next.hiddenList(), (std::vector<std::string>{"Zip Tool", "Acme Editor"}));
    next.setHiddenList({"Zip Tool"});
    next.saveHiddenFilter();
    EXPECT_EQ(tmp.read("user data/vornak/hidden.dat"), "Zip Tool\r\n");
    EXPECT_EQ(hiddenFile(), "Zip Tool\r\n");
#endif
}

TEST_F(HiddenFilterTest, SaveFailsWhenNeitherFolderCanBeWritten) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: write protection by chmod";
#else
    writeHiddenFile("Zip Tool\r\n");
    inv.startHiddenFilter();
    inv.SkjulClick(0);
    const std::string folder = tmp.str() + "/drive c/Program Files/Vornak";
    tmp.write("user data/placeholder", "");
    const std::string user = tmp.str() + "/user data";
    chmod(folder.c_str(), 0555);
    chmod(user.c_str(), 0555);
    try {
        inv.saveHiddenFilter();
        ADD_FAILURE() << "the write must fail";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + user + "/vornak/hidden.dat");
    }
    chmod(folder.c_str(), 0755);
    chmod(user.c_str(), 0755);
    EXPECT_EQ(hiddenFile(), "Zip Tool\r\n");
#endif
}

TEST_F(HiddenFilterTest, HiddenFileInWindows1252) {
    // "Björk Player" as the Windows version writes it, and one in UTF-8.
    registration("LM", "6", "Bj\xc3\xb6rk Player", uninstaller("b.exe"));
    inv.RefreshInventory();
    writeHiddenFile("Bj\xf6rk Player\r\n");
    inv.startHiddenFilter();
    EXPECT_EQ(inv.hiddenList(), std::vector<std::string>{"Bj\xc3\xb6rk Player"});
    EXPECT_EQ(inv.visible().size(), 5u);
    writeHiddenFile("Bj\xc3\xb6rk Player\r\n");
    inv.startHiddenFilter();
    EXPECT_EQ(inv.hiddenList(), std::vector<std::string>{"Bj\xc3\xb6rk Player"});
}
