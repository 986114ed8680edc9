// The list export: the file's bytes, what the save dialog is told, and a file
// that cannot be written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "platform/FileSystem.h"
#include "services/ListExport.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using namespace vornak;
using test::ScriptedDialogs;

namespace {

class ListExportTest : public ::testing::Test {
  protected:
    void SetUp() override { tmp.write("drive c/lists/.keep", ""); }

    static EntryList rows(std::initializer_list<const char*> captions) {
        EntryList out;
        for (const char* caption : captions)
            out.push_back({caption, 0, "x", "k", "LM"});
        return out;
    }
    void exportTo(const EntryList& list, const std::string& path) {
        dialogs.saveAnswers = {path};
        services::exportList(list, "Text (*.txt)|*.txt", dialogs, *fs);
    }
    std::vector<std::string> folderNames() {
        std::vector<std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(tmp.path() / "drive c/lists"))
            out.push_back(entry.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    test::TempDir tmp;
    std::shared_ptr<platform::FileSystem> fs =
        platform::makeFileSystem({{'C', tmp.str() + "/drive c"}});
    ScriptedDialogs dialogs;
};

TEST_F(ListExportTest, EveryCaptionOnALineOfItsOwnEndedByCrLf) {
    exportTo(rows({"Zip Tool", "Acme Editor 3.2", "Bl\xc3\xa5 Maler"}), "C:\\lists\\out.txt");
    EXPECT_EQ(tmp.read("drive c/lists/out.txt"),
              "Zip Tool\r\nAcme Editor 3.2\r\nBl\xc3\xa5 Maler\r\n");
    ASSERT_TRUE(dialogs.lastSaveOptions);
    EXPECT_EQ(dialogs.lastSaveOptions->filter, "Text (*.txt)|*.txt");
    EXPECT_EQ(dialogs.lastSaveOptions->defaultExtension, "txt");
    EXPECT_TRUE(dialogs.lastSaveOptions->confirmOverwrite);
}

TEST_F(ListExportTest, AFileThatCannotBeCreatedIsNamedAndTheOldOneStays) {
    try {
        exportTo(rows({"A"}), "C:\\no such folder\\out.txt");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("C:\\no such folder\\out.txt"), std::string::npos)
            << e.what();
    }

    tmp.write("drive c/lists/out.txt", "old list\r\n");
#ifndef _WIN32
    // A folder without write rights (the mode is what counts, for root too);
    // Windows has no such bits on a folder.
    const std::string folder = (tmp.path() / "drive c/lists").string();
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    EXPECT_THROW(exportTo(rows({"A"}), "C:\\lists\\out.txt"), std::runtime_error);
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(tmp.read("drive c/lists/out.txt"), "old list\r\n");
    EXPECT_EQ(folderNames(), (std::vector<std::string>{".keep", "out.txt"}));
#endif

    // Replaced through a new file renamed over the old: nothing else is left.
    exportTo(rows({"B"}), "C:\\lists\\out.txt");
    EXPECT_EQ(tmp.read("drive c/lists/out.txt"), "B\r\n");
    EXPECT_EQ(folderNames(), (std::vector<std::string>{".keep", "out.txt"}));
}

}  // namespace
