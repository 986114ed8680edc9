#include <gtest/gtest.h>

#include <map>
#include <set>

#include "language/TranslationTable.h"

namespace vornak {
namespace {

TEST(TranslationTable, EveryLineIsUsedAndOnlyTheSharedOnesTwice) {
    std::map<int, int> uses;
    for (const TranslationRow& row : translationTable()) {
        ++uses[row.line];
    }
    ASSERT_EQ(uses.size(), static_cast<size_t>(kLanguageLineCount));
    EXPECT_EQ(uses.begin()->first, 0);
    EXPECT_EQ(uses.rbegin()->first, kLanguageLineCount - 1);
    for (const auto& [line, count] : uses) {
        const int expected = line == 61 ? 3 : (line == 59 || line == 60) ? 2 : 1;
        EXPECT_EQ(count, expected) << "line " << line;
    }
}

TEST(TranslationTable, EachMessageIsSetByTheLineItsRoleNames) {
    std::set<Msg> seen;
    for (const TranslationRow& row : translationTable()) {
        if (row.target.kind == TargetKind::Message) {
            EXPECT_EQ(row.line, static_cast<int>(row.target.message));
            EXPECT_TRUE(row.builtIn.empty());
            EXPECT_TRUE(seen.insert(row.target.message).second);
        }
    }
    for (const AddedLine& added : addedLines()) {
        EXPECT_TRUE(seen.insert(added.role).second) << messageName(added.role);
    }
    EXPECT_EQ(seen.size(), kAllMessages.size());
}

TEST(TranslationTable, TargetsAreUniqueAndNamed) {
    std::set<std::tuple<std::string_view, std::string_view, int>> targets;
    for (const TranslationRow& row : translationTable()) {
        const Target& t = row.target;
        if (t.kind == TargetKind::None || t.kind == TargetKind::Message) {
            continue;
        }
        EXPECT_FALSE(t.window.empty()) << row.line;
        EXPECT_EQ(t.control.empty(), t.kind == TargetKind::WindowTitle) << row.line;
        EXPECT_TRUE(targets.insert({t.window, t.control, t.column}).second) << row.line;
    }
}

TEST(TranslationTable, LinesWithoutTargetAreNineteenAndTwentyThree) {
    std::vector<int> none;
    for (const TranslationRow& row : translationTable()) {
        if (row.target.kind == TargetKind::None) {
            none.push_back(row.line);
        }
    }
    EXPECT_EQ(none, (std::vector<int>{19, 23}));
}

TEST(TranslationTable, BuiltInTextsAreFoundByWindowAndControl) {
    EXPECT_EQ(builtInText(window::kMain, "FilterRyd"), "Ryd");
    EXPECT_EQ(builtInText(window::kMain, "Hjaelp"), "&Hjælp");
    EXPECT_EQ(builtInText(window::kMain, "kuncrap"), "Vis kun \"crapware\"");
    EXPECT_EQ(builtInText(window::kMain, "SaveDialog1"),
              "Text Filer (*.txt)|*.txt|Alle Filer (*.*)|*.*");
    EXPECT_EQ(builtInText(window::kInfoEditor, "lsvStuff", 1), "Value");
    EXPECT_EQ(builtInText(window::kInfoEditor, "Label2"), "New Value:");
    EXPECT_EQ(builtInText(window::kWizard, "Label2").substr(0, 11), "Denne guide");
    EXPECT_EQ(builtInText(window::kWizard, "btnCancel_03"), "Annuller");
    EXPECT_EQ(builtInText(window::kAbout, ""), " About Vornak Uninstaller");
    EXPECT_THROW(builtInText(window::kMain, "NoSuchControl"), std::invalid_argument);
    EXPECT_THROW(builtInText(window::kInfoEditor, "lsvStuff", 2), std::invalid_argument);
}

TEST(TranslationTable, ArgumentsOfTheFormatEntries) {
    EXPECT_EQ(messageArguments(Msg::fmtStatusCount), "d");
    EXPECT_EQ(messageArguments(Msg::fmtDeletedFilesCount), "d");
    EXPECT_EQ(messageArguments(Msg::fmtUninstallStarted), "s");
    EXPECT_EQ(messageArguments(Msg::fmtKeyNotRemoved), "s");
    EXPECT_EQ(messageArguments(Msg::msgFileDeletedPrefix), "");
    for (Msg role : kAllMessages) {
        const bool isFormat = std::string_view(messageName(role)).starts_with("fmt");
        EXPECT_EQ(!messageArguments(role).empty(), isFormat) << messageName(role);
    }
}

TEST(TranslationTable, LineBreakTransforms) {
    EXPECT_EQ(transformLine(LineTransform::BreakLfCr, "A\\nB"), "A\n\rB");
    EXPECT_EQ(transformLine(LineTransform::BreakLfCr, "A\\NB\\n"), "A\n\rB\n\r");
    EXPECT_EQ(transformLine(LineTransform::BreakLf, "A\\n\\NB"), "A\n\nB");
    EXPECT_EQ(transformLine(LineTransform::BreakLf, "\\"), "\\");
    EXPECT_EQ(transformLine(LineTransform::BreakLf, "C:\\new\\x"), "C:\new\\x");
    EXPECT_EQ(transformLine(LineTransform::None, "A\\nB"), "A\\nB");
}

}  // namespace
}  // namespace vornak
