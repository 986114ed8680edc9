// ChangeLang and the Language menu against a real program folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "LanguageTestSupport.h"
#include "language/LanguageEngine.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace vornak {
namespace {

std::string completeFile(const std::string& clearCaption) {
    std::string out;
    for (int i = 0; i < kLanguageLineCount; ++i) {
        out += i == 4 ? clearCaption : i == 35 ? std::string("%d listed") : "x";
        out += "\r\n";
    }
    return out;
}

class LanguageFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        programHost = tmp.str() + "/drive c/Program Files/Vornak";
        std::filesystem::create_directories(programHost);
        fs = platform::makeFileSystem({{'C', tmp.str() + "/drive c"}}, programHost);
    }

    void putLanguage(const std::string& fileName, const std::string& bytes) {
        tmp.write("drive c/Program Files/Vornak/lang/" + fileName, bytes);
    }

    std::vector<std::string> menuLabels() const {
        std::vector<std::string> labels;
        for (const LanguageMenuItem& item : sink.menu) {
            labels.push_back(item.label);
        }
        std::sort(labels.begin(), labels.end());
        return labels;
    }

    test::TempDir tmp;
    std::string programHost;
    std::shared_ptr<platform::FileSystem> fs;
    test::RecordingSink sink;
    MessageCatalogue catalogue;
};

TEST_F(LanguageFolderTest, AppliesTheFileBesideTheProgram) {
    putLanguage("English.lng", completeFile("Clear"));
    sink.rows = 12;
    LanguageEngine engine(sink, fs, catalogue);
    engine.ChangeLang("English");
    EXPECT_TRUE(sink.shownMessages.empty());
    EXPECT_EQ(sink.texts["Form1/FilterRyd"], "Clear");
    EXPECT_EQ(sink.status, "12 listed");
}

TEST_F(LanguageFolderTest, NameFindsItsFileWhateverTheLetterCase) {
    putLanguage("svenska.LNG", completeFile("Rensa"));
    LanguageEngine engine(sink, fs, catalogue);
    engine.ChangeLang("Svenska");
    EXPECT_TRUE(sink.shownMessages.empty());
    EXPECT_EQ(sink.texts["Form1/FilterRyd"], "Rensa");
    EXPECT_EQ(engine.currentLanguage(), "Svenska");

    engine.ChangeLang("Sv*");  // a pattern is no language name
    EXPECT_EQ(sink.shownMessages.size(), 1u);
}

TEST_F(LanguageFolderTest, MenuListsTheLanguageFilesOnly) {
    putLanguage("English.lng", completeFile("Clear"));
    putLanguage("Danish.lng", completeFile("Ryd"));
    putLanguage("danish.lng", completeFile("Ryd"));
    putLanguage("readme.txt", "not a language");
    putLanguage("English.lng.bak", "old");
    LanguageEngine engine(sink, fs, catalogue);
#ifdef _WIN32
    // One file: Windows' file names ignore letter case.
    EXPECT_EQ(engine.BuildLanguageMenu(), 2);
    EXPECT_EQ(menuLabels(), (std::vector<std::string>{"Danish", "English"}));
#else
    EXPECT_EQ(engine.BuildLanguageMenu(), 3);
    EXPECT_EQ(menuLabels(), (std::vector<std::string>{"Danish", "English", "danish"}));
#endif
    for (const LanguageMenuItem& item : sink.menu) {
        EXPECT_EQ(item.image, item.label == "Danish" ? kDanishFlagImage : -1) << item.label;
        EXPECT_EQ(item.identifier, "langMenu" + item.label);
    }
}

TEST_F(LanguageFolderTest, NoLanguageFolderMeansAnEmptyMenuAndAnErrorForEnglish) {
    LanguageEngine engine(sink, fs, catalogue);
    EXPECT_EQ(engine.BuildLanguageMenu(), 0);
    engine.ChangeLang("English");
    EXPECT_TRUE(sink.calls.empty());
    ASSERT_EQ(sink.shownMessages.size(), 1u);
    EXPECT_EQ(sink.shownMessages[0], languageErrorText("English"));
    EXPECT_EQ(engine.currentLanguage(), "English");
}

// A language file that is no file to read is refused at once, and the error
// box names it and says why; the texts stay as they were.
TEST_F(LanguageFolderTest, AFileThatIsNoFileIsRefusedAtOnceAndNamed) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: fifos and /dev/zero";
#else
    const auto path = tmp.path() / "drive c/Program Files/Vornak/lang/English.lng";
    std::filesystem::create_directories(path.parent_path());
    const std::vector<std::pair<std::function<void()>, std::string> > forms = {
        {[&] { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }, "not a regular file"},
        {[&] { std::filesystem::create_symlink("/dev/zero", path); }, "not a regular file"},
        {[&] {
             putLanguage("English.lng", completeFile("Clear"));
             std::filesystem::resize_file(path, platform::readLimits::kLanguageFile.maxBytes + 1);
         },
         "larger than"},
        {[&] { std::filesystem::create_directory(path); }, "is a folder"},
    };
    ::alarm(60);  // a hang ends the test program rather than blocking the suite
    for (const auto& [make, reason] : forms) {
        SCOPED_TRACE(reason);
        std::filesystem::remove_all(path);
        make();
        test::RecordingSink fresh;
        LanguageEngine(fresh, fs, catalogue).ChangeLang("English");
        EXPECT_TRUE(fresh.texts.empty());
        ASSERT_EQ(fresh.shownMessages.size(), 1u);
        const std::string& shown = fresh.shownMessages[0];
        EXPECT_EQ(shown.rfind(languageErrorText("English"), 0), 0u) << shown;
        EXPECT_NE(shown.find(path.string()), std::string::npos) << shown;
        EXPECT_NE(shown.find(reason), std::string::npos) << shown;
    }
    ::alarm(0);
#endif
}

// A line of megabytes would keep the window laying it out; it is cut, the rest
// of the file applies, and the message says which line of the file it was.
TEST_F(LanguageFolderTest, AnOverlongLineIsCutAndNamed) {
    std::string file =
        ";; a comment line, counted in the file's numbering\r\n" + completeFile("Clear");
    const size_t at = file.find("\r\nClear\r\n");  // text line 4: file line 6
    file.replace(at + 2, 5, std::string(20 << 20, 'y'));
    putLanguage("English.lng", file);
    LanguageEngine engine(sink, fs, catalogue);
    engine.ChangeLang("English");
    EXPECT_EQ(sink.texts["Form1/FilterRyd"], std::string(kMaxLanguageLineCharacters, 'y'));
    EXPECT_EQ(sink.texts["Form1/ListView1#0"], "x") << "the lines after it apply";
    ASSERT_EQ(sink.shownMessages.size(), 1u);
    const std::string& shown = sink.shownMessages[0];
    EXPECT_NE(shown.find("Line 6 "), std::string::npos) << shown;
    EXPECT_NE(shown.find("English.lng"), std::string::npos) << shown;
    EXPECT_NE(shown.find(std::to_string(kMaxLanguageLineCharacters)), std::string::npos) << shown;
}

}  // namespace
}  // namespace vornak
