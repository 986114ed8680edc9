// ChangeLang and the Language menu against a real program folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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

}  // namespace
}  // namespace vornak
