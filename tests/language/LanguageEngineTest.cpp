#include <gtest/gtest.h>

#include <algorithm>

#include "LanguageTestSupport.h"
#include "language/LanguageEngine.h"
#include "language/LanguageLocale.h"

namespace vornak {
namespace {

using test::MemoryFileSystem;
using test::RecordingSink;

// Text line i reads "T<i>", except the ones given in `overrides`.
std::string languageFile(int lineCount, const std::map<int, std::string>& overrides = {}) {
    std::string out = "; test language\r\n";
    for (int i = 0; i < lineCount; ++i) {
        const auto it = overrides.find(i);
        out += (it != overrides.end() ? it->second : "T" + std::to_string(i)) + "\r\n";
    }
    return out;
}

class LanguageEngineTest : public ::testing::Test {
  protected:
    void SetUp() override { catalogue.clear(); }

    bool wasSet(const std::string& key) const {
        return std::find(sink.calls.begin(), sink.calls.end(), key) != sink.calls.end();
    }

    std::shared_ptr<MemoryFileSystem> fs = std::make_shared<MemoryFileSystem>();
    RecordingSink sink;
    MessageCatalogue catalogue;
    LanguageEngine engine{sink, fs, catalogue};
};

TEST_F(LanguageEngineTest, CompleteFileSetsEveryTargetAndTheStatusBar) {
    std::string file = languageFile(102, {{35, "%d programs listed"}});
    // Comments among the lines and lines beyond 101 change nothing.
    file.insert(file.find("T50\r\n"), ";between\r\n");
    file += "T102\r\nT103\r\n";
    fs->put("Test", file);
    sink.rows = 17;

    engine.ChangeLang("Test");

    EXPECT_TRUE(sink.shownMessages.empty());
    EXPECT_EQ(fs->reads, std::vector<std::string>{"C:\\Program Files\\Vornak\\lang\\Test.lng"});
    EXPECT_EQ(sink.status, "17 programs listed");
    EXPECT_EQ(sink.calls.back(), "status");
    EXPECT_EQ(engine.lines().size(), 104u);
    EXPECT_EQ(engine.currentLanguage(), "Test");

    for (const TranslationRow& row : translationTable()) {
        const Target& t = row.target;
        const std::string expected = "T" + std::to_string(row.line);
        if (t.kind == TargetKind::Message) {
            if (t.message != Msg::fmtStatusCount) {
                EXPECT_EQ(catalogue.get(t.message), expected) << messageName(t.message);
            }
        } else if (t.kind == TargetKind::ScrollingText) {
            EXPECT_EQ(sink.scrollingLines, std::vector<std::string>{expected});
        } else if (t.kind != TargetKind::None) {
            EXPECT_EQ(sink.texts[RecordingSink::key(t)], expected) << row.line;
        }
    }
    EXPECT_EQ(sink.texts["Form1/ListView1#0"], "T5");
    EXPECT_EQ(sink.texts["ViewEditInfoForm/lsvStuff#1"], "T47");
    EXPECT_EQ(sink.texts["AnalyzeForm/"], "T55");
    EXPECT_EQ(sink.texts["AnalyzeForm/Label4"], "T59");
    EXPECT_EQ(sink.texts["AnalyzeForm/Label13"], "T60");
    EXPECT_EQ(sink.texts["AnalyzeForm/btnCancel_02"], "T61");
    EXPECT_EQ(sink.texts["AnalyzeForm/btnCancel_03"], "T61");
}

TEST_F(LanguageEngineTest, LineBreaksInInfoTextsAndMessages) {
    fs->put("Test", languageFile(102, {{35, "%d"},
                                       {36, "keep\\nas is"},
                                       {37, "A\\nB"},
                                       {39, "done\\Nnow"},
                                       {40, "not\\nhere"},
                                       {100, "sure?\\nreally"}}));
    engine.ChangeLang("Test");
    EXPECT_EQ(sink.texts["Form1/lblInfo"], "keep\\nas is");
    EXPECT_EQ(sink.texts["Form1/lblInfoBody"], "A\n\rB");
    EXPECT_EQ(catalogue.get(Msg::fmtUninstallFinished), "done\n\rnow");
    EXPECT_EQ(catalogue.get(Msg::fmtUninstallNotStarted), "not\\nhere");
    EXPECT_EQ(catalogue.get(Msg::msgRemoveValueQuestion), "sure?\n\rreally");

    fs->put("Test", languageFile(102, {{35, "%d"}, {37, "A\\NB"}}));
    engine.ChangeLang("Test");
    EXPECT_EQ(sink.texts["Form1/lblInfoBody"], "A\n\rB");
}

TEST_F(LanguageEngineTest, AboutTextBecomesScrollingLines) {
    fs->put("Test", languageFile(102, {{35, "%d"}, {42, "Vornak\\nUninstaller\\n\\nby\\NVornak"}}));
    engine.ChangeLang("Test");
    EXPECT_EQ(sink.scrollingLines,
              (std::vector<std::string>{"Vornak", "Uninstaller", "", "by", "Vornak"}));
    EXPECT_TRUE(wasSet("OmForm/BnVertScrollText1"));

    fs->put("Test", languageFile(102, {{35, "%d"}, {42, "end\\n"}}));
    engine.ChangeLang("Test");
    EXPECT_EQ(sink.scrollingLines, std::vector<std::string>{"end"});
}

TEST_F(LanguageEngineTest, EmptyLinesSetEmptyTexts) {
    sink.texts["Form1/FilterRyd"] = "Ryd";
    fs->put("Test", languageFile(102, {{4, ""}, {35, "%d"}, {38, ""}}));
    engine.ChangeLang("Test");
    EXPECT_EQ(sink.texts["Form1/FilterRyd"], "");
    EXPECT_EQ(catalogue.get(Msg::fmtUninstallStarted), "");
    EXPECT_TRUE(sink.shownMessages.empty());
}

TEST_F(LanguageEngineTest, ShortFileSetsWhatComesBeforeTheFirstMissingLine) {
    fs->put("Short", languageFile(60, {{35, "%d rows"}}));
    engine.ChangeLang("Short");

    EXPECT_EQ(sink.shownMessages,
              std::vector<std::string>{
                  "(Message in English) An error has occurred with the language you have "
                  "chosen (Short), you should choose another language!"});
    EXPECT_EQ(sink.status, "(untouched)");
    EXPECT_EQ(catalogue.get(Msg::fmtStatusCount), "%d rows");
    EXPECT_EQ(catalogue.get(Msg::msgDeleteEntryQuestion), "T0");
    EXPECT_EQ(sink.texts["AnalyzeForm/rbAnalyze"], "T59");
    EXPECT_FALSE(wasSet("AnalyzeForm/Label4"));  // its turn comes after line 62
    EXPECT_FALSE(wasSet("AnalyzeForm/rbUninstall"));
    EXPECT_FALSE(wasSet("AnalyzeForm/btnCancel_01"));
    EXPECT_EQ(sink.calls.back(), "AnalyzeForm/rbAnalyze");
    EXPECT_EQ(catalogue.get(Msg::msgLogNameCaption), "");
}

TEST_F(LanguageEngineTest, SecondUsesOfSharedLinesComeAtTheirOwnPlace) {
    const auto lastCalls = [&](int lineCount, size_t n) {
        sink.calls.clear();
        fs->put("Cut", languageFile(lineCount));
        engine.ChangeLang("Cut");
        return std::vector<std::string>(sink.calls.end() - static_cast<long>(n), sink.calls.end());
    };
    EXPECT_EQ(lastCalls(63, 3),
              (std::vector<std::string>{"AnalyzeForm/btnNext_01", "AnalyzeForm/Label4",
                                        "AnalyzeForm/btnCancel_02"}));
    EXPECT_EQ(lastCalls(76, 2),
              (std::vector<std::string>{"AnalyzeForm/Label12", "AnalyzeForm/Label13"}));
    EXPECT_EQ(catalogue.get(Msg::msgAnalysisDone), "T75");
    EXPECT_EQ(lastCalls(81, 2),
              (std::vector<std::string>{"AnalyzeForm/CheckBox3", "AnalyzeForm/btnCancel_03"}));
    EXPECT_EQ(sink.shownMessages.size(), 3u);
}

TEST_F(LanguageEngineTest, MissingFileSetsNothingButTheCurrentLanguage) {
    engine.ChangeLang("Klingon");
    EXPECT_EQ(engine.currentLanguage(), "Klingon");
    EXPECT_TRUE(sink.calls.empty());
    EXPECT_EQ(catalogue.get(Msg::fmtStatusCount), "");
    ASSERT_EQ(sink.shownMessages.size(), 1u);
    EXPECT_NE(sink.shownMessages[0].find("(Klingon)"), std::string::npos);
}

// Qt's own texts follow the locale of each file read; a file that cannot be
// read changes nothing, a language no one mapped leaves them English.
TEST_F(LanguageEngineTest, TheLocaleOfEachFileReadIsHandedOn) {
    fs->put("Danish", languageFile(102, {{35, "%d"}}));
    fs->put("Klingon", languageFile(102, {{35, "%d"}}));
    engine.ChangeLang("Danish");
    engine.ChangeLang("Missing");
    engine.ChangeLang("Klingon");
    EXPECT_EQ(sink.locales, (std::vector<std::string>{"da", ""}));

    for (const auto& [name, locale] :
         std::vector<std::pair<std::string, std::string>>{{"Danish", "da"},
                                                          {"DANISH", "da"},
                                                          {"English", "en"},
                                                          {"Brazilian", "pt_BR"},
                                                          {"Dansk", ""},
                                                          {"Danish2", ""},
                                                          {"", ""}})
        EXPECT_EQ(languageLocale(name), locale) << name;
}

TEST_F(LanguageEngineTest, FailedApplyKeepsThePreviousLanguage) {
    fs->put("English", languageFile(102, {{4, "Clear"}, {35, "%d"}, {71, "Log name"}}));
    engine.ChangeLang("English");
    fs->files.clear();
    sink.calls.clear();

    engine.ChangeLang("English");
    EXPECT_TRUE(sink.calls.empty());
    EXPECT_EQ(sink.texts["Form1/FilterRyd"], "Clear");
    EXPECT_EQ(catalogue.get(Msg::msgLogNameCaption), "Log name");
    EXPECT_EQ(sink.shownMessages.size(), 1u);
    EXPECT_EQ(engine.currentLanguage(), "English");
}

TEST_F(LanguageEngineTest, MessagesNotReachedKeepTheirEarlierText) {
    fs->put("Full", languageFile(102, {{35, "%d"}, {101, "Confirm"}}));
    engine.ChangeLang("Full");
    fs->put("Part", languageFile(90, {{0, "Delete?"}}));
    engine.ChangeLang("Part");
    EXPECT_EQ(catalogue.get(Msg::msgDeleteEntryQuestion), "Delete?");
    EXPECT_EQ(catalogue.get(Msg::msgConfirmCaption), "Confirm");
}

TEST_F(LanguageEngineTest, AddedLinesComeFromTheFileOrSpeakEnglish) {
    const Msg added = addedLines().front().role;
    const int line = static_cast<int>(added);
    fs->put("New", languageFile(line + 1, {{35, "%d"}, {line, "Eigen\\nText"}}));
    engine.ChangeLang("New");
    EXPECT_EQ(catalogue.get(added), "Eigen\nText");
    // A file from before the line was added: its own texts, English for the rest.
    fs->put("Old", languageFile(102, {{35, "%d"}}));
    engine.ChangeLang("Old");
    EXPECT_TRUE(sink.shownMessages.empty());
    EXPECT_EQ(catalogue.get(added), addedLines().front().english);
}

TEST_F(LanguageEngineTest, StatusFormatWithoutTheCountIsAccepted) {
    fs->put("Plain", languageFile(102, {{35, "Programs"}}));
    engine.ChangeLang("Plain");
    EXPECT_TRUE(sink.shownMessages.empty());
    EXPECT_EQ(sink.status, "Programs");
}

TEST_F(LanguageEngineTest, StatusFormatThatDoesNotTakeOneIntegerIsAnError) {
    for (const std::string bad : {"%s listed", "%d of %d", "100%"}) {
        sink = RecordingSink{};
        fs->put("Bad", languageFile(102, {{35, bad}}));
        engine.ChangeLang("Bad");
        EXPECT_EQ(sink.shownMessages.size(), 1u) << bad;
        EXPECT_EQ(sink.status, "")
            << bad << ": the status bar's rule for a format that does not fit";
        EXPECT_TRUE(wasSet("ViewEditInfoForm/Label3")) << bad;  // line 99: all targets were set
        EXPECT_EQ(catalogue.get(Msg::msgConfirmCaption), "T101");
    }
}

TEST_F(LanguageEngineTest, WindowsEncodedFileReachesTheWindowsAsUtf8) {
    fs->put("Dansk", languageFile(102, {{4, "Ryd \xe6\xf8\xe5"}, {35, "%d programmer"}}));
    sink.rows = 2;
    engine.ChangeLang("Dansk");
    EXPECT_EQ(sink.texts["Form1/FilterRyd"], "Ryd æøå");
    EXPECT_EQ(sink.status, "2 programmer");
}

TEST_F(LanguageEngineTest, SinkFailureIsReportedLikeABadFile) {
    struct FailingSink : RecordingSink {
        void setScrollingText(const Target&, const std::vector<std::string>&) override {
            throw std::runtime_error("gone");
        }
    } failing;
    LanguageEngine other(failing, fs, catalogue);
    fs->put("Test", languageFile(102, {{35, "%d"}}));
    other.ChangeLang("Test");
    EXPECT_EQ(failing.shownMessages.size(), 1u);
    EXPECT_TRUE(failing.texts.count("OmForm/")) << "line 41 comes before the failing 42";
    EXPECT_FALSE(failing.texts.count("OmForm/Button1"));
}

TEST(LanguageMenu, NameFromIdentifierDropsEveryLangMenu) {
    EXPECT_EQ(languageFromMenuIdentifier("langMenuDanish"), "Danish");
    EXPECT_EQ(languageFromMenuIdentifier("LANGMENUEnglish"), "English");
    EXPECT_EQ(languageFromMenuIdentifier("langMenuMylangmenuLang"), "MyLang");
    EXPECT_EQ(languageFromMenuIdentifier("langMenuLangMenu"), "");
    // A removal does not create a new occurrence to remove.
    EXPECT_EQ(languageFromMenuIdentifier("langMenulanglangMenuMenu"), "langMenu");
}

TEST(LanguageMenu, NamesThatAreNoIdentifierAreLeftOut) {
    const auto items = languageMenuItems({"English.lng", "danish.lng", "Brit-English.lng",
                                          "Danish.lng", "Old_2.lng", "Bad Name.lng"});
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].label, "English");
    EXPECT_EQ(items[0].identifier, "langMenuEnglish");
    EXPECT_EQ(items[0].image, -1);
    EXPECT_EQ(items[1].label, "danish");
    EXPECT_EQ(items[1].image, -1);
    EXPECT_EQ(items[2].image, kDanishFlagImage);
    EXPECT_EQ(items[3].identifier, "langMenuOld_2");

    EXPECT_EQ(languageMenuItems({"Norsk bokmål.lng", "English.v2.lng",
                                 "Fran\xc3\xa7"
                                 "ais.lng"})
                  .size(),
              0u);
}

TEST_F(LanguageEngineTest, MenuIsBuiltFromTheLanguageFolderInListingOrder) {
    fs->listing = std::vector<std::string>{"Zulu.lng", "Danish.lng", "x y.lng", "English.lng"};
    EXPECT_EQ(engine.BuildLanguageMenu(), 3);
    EXPECT_EQ(fs->patterns, std::vector<std::string>{"C:\\Program Files\\Vornak\\lang\\*.lng"});
    // Hidden, system and read-only files and folders are listed too.
    EXPECT_EQ(fs->wantedAttributes &
                  (platform::kAttrHidden | platform::kAttrSystem | platform::kAttrDirectory),
              platform::kAttrHidden | platform::kAttrSystem | platform::kAttrDirectory);
    ASSERT_EQ(sink.menu.size(), 3u);
    EXPECT_EQ(sink.menu[0].label, "Zulu");
    EXPECT_EQ(sink.menu[1].image, kDanishFlagImage);
    EXPECT_EQ(sink.menu[2].label, "English");
    EXPECT_TRUE(sink.shownMessages.empty());
}

TEST_F(LanguageEngineTest, MenuBuildingEndsQuietlyWhenAnItemCannotBeAdded) {
    fs->listing = std::vector<std::string>{"English.lng", "Danish.lng", "Svenska.lng"};
    sink.failOnLabel = "Danish";
    EXPECT_EQ(engine.BuildLanguageMenu(), 1);
    EXPECT_EQ(sink.menu.size(), 1u);

    fs->listing.reset();  // no language folder
    sink.menu.clear();
    EXPECT_EQ(engine.BuildLanguageMenu(), 0);
    EXPECT_TRUE(sink.shownMessages.empty());
}

TEST_F(LanguageEngineTest, ChoosingFromTheMenuAppliesTheNamedFile) {
    fs->put("MyLang", languageFile(102, {{4, "Mine"}, {35, "%d"}}));
    engine.LangShit("langMenuMylangmenuLang");
    EXPECT_EQ(engine.currentLanguage(), "MyLang");
    EXPECT_EQ(sink.texts["Form1/FilterRyd"], "Mine");
    EXPECT_TRUE(sink.shownMessages.empty());
}

}  // namespace
}  // namespace vornak
