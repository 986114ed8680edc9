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

TEST_F(ListExportTest, AFileThatCannotBeWrittenIsNamedWithWhyAndTheOldOneStays) {
    try {
        exportTo(rows({"A"}), "C:\\no such folder\\out.txt");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("C:\\no such folder\\out.txt"), std::string::npos) << what;
#ifndef _WIN32
        EXPECT_NE(what.find("does not exist"), std::string::npos) << what;
#endif
    }
#ifndef _WIN32
    // A write-protected file (the mode is what counts, for root too).
    const auto out = tmp.write("drive c/lists/out.txt", "old list\r\n");
    ASSERT_EQ(chmod(out.c_str(), 0444), 0);
    try {
        exportTo(rows({"A"}), "C:\\lists\\out.txt");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("Permission denied"), std::string::npos) << e.what();
    }
    EXPECT_EQ(tmp.read("drive c/lists/out.txt"), "old list\r\n");
    EXPECT_EQ(folderNames(), (std::vector<std::string>{".keep", "out.txt"}));
#endif
}

// The chosen file is written, not replaced by another: a link stays a link to
// it, its permissions stay, and a folder the user may not write does not matter
// when the file may be written.
TEST_F(ListExportTest, WritesThroughToTheChosenFile) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: links and permission bits";
#else
    namespace fs = std::filesystem;
    const std::string folder = (tmp.path() / "drive c/lists").string();
    struct Case {
        const char* name;
        mode_t fileMode;
        mode_t folderMode;
        bool link;
    };
    for (const Case& c :
         {Case{"a link", 0644, 0755, true}, Case{"a private file", 0600, 0755, false},
          Case{"a read-only folder", 0644, 0555, false},
          Case{"a private file behind a link in a read-only folder", 0600, 0555, true}}) {
        SCOPED_TRACE(c.name);
        const auto target = tmp.write("drive c/lists/target.txt", "old\r\n");
        ASSERT_EQ(chmod(target.c_str(), c.fileMode), 0);
        const auto chosen = tmp.path() / "drive c/lists/chosen.txt";
        if (c.link)
            fs::create_symlink("target.txt", chosen);
        else
            fs::rename(target, chosen);
        const auto written = c.link ? target : chosen;
        ASSERT_EQ(chmod(folder.c_str(), c.folderMode), 0);
        exportTo(rows({"New", "List"}), "C:\\lists\\chosen.txt");
        ASSERT_EQ(chmod(folder.c_str(), 0755), 0);

        EXPECT_EQ(fs::is_symlink(chosen), c.link);
        EXPECT_EQ(tmp.read(fs::relative(written, tmp.path()).string()), "New\r\nList\r\n");
        struct stat st {};
        ASSERT_EQ(::stat(written.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.fileMode);
        EXPECT_EQ(folderNames().size(), c.link ? 3u : 2u) << "nothing left beside it";
        fs::remove(chosen);
        fs::remove(target);
    }
#endif
}

}  // namespace
