// The language files that ship beside the program.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "LanguageTestSupport.h"
#include "language/LanguageEngine.h"
#include "language/LanguageFile.h"
#include "language/TextEncoding.h"

namespace vornak {
namespace {

std::string shippedBytes(const std::string& name) {
    std::ifstream in(std::string(VORNAK_LANG_SOURCE_DIR) + "/" + name + ".lng", std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class ShippedLanguage : public ::testing::TestWithParam<std::string> {};

TEST_P(ShippedLanguage, HasExactlyTheTextLinesTheProgramUses) {
    const std::string bytes = shippedBytes(GetParam());
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(readLanguageLines(bytes).size(), kLanguageLineCount + addedLines().size());
    EXPECT_EQ(bytes.find('\0'), std::string::npos);
}

TEST_P(ShippedLanguage, EveryMessageFormatsWithItsArguments) {
    const TextLines lines = readLanguageLines(shippedBytes(GetParam()));
    ASSERT_EQ(lines.size(), kLanguageLineCount + addedLines().size());
    for (Msg role : kAllMessages) {
        const std::string& text = lines[static_cast<size_t>(role)];
        EXPECT_FALSE(text.empty()) << messageName(role);
        std::vector<FormatArg> args;
        std::vector<std::string> shown;
        for (const char kind : messageArguments(role)) {
            if (kind == 'd') {
                args.emplace_back(int64_t{4711});
                shown.push_back("4711");
            } else {
                args.emplace_back(std::string("C:\\Some Program\\x.exe"));
                shown.push_back("C:\\Some Program\\x.exe");
            }
        }
        std::string formatted;
        ASSERT_NO_THROW(formatted = formatMessage(text, args)) << messageName(role) << ": " << text;
        for (const std::string& s : shown) {
            EXPECT_NE(formatted.find(s), std::string::npos) << messageName(role);
        }
    }
    // These two are shown with something glued directly to their end.
    EXPECT_EQ(lines[static_cast<size_t>(Msg::msgMustConfirm)].back(), ' ');
    EXPECT_EQ(lines[static_cast<size_t>(Msg::msgFileDeletedPrefix)].back(), ' ');
}

TEST_P(ShippedLanguage, AppliesWithoutAnError) {
    auto fs = std::make_shared<test::MemoryFileSystem>();
    fs->put(GetParam(), shippedBytes(GetParam()));
    test::RecordingSink sink;
    sink.rows = 3;
    MessageCatalogue catalogue;
    LanguageEngine engine(sink, fs, catalogue);
    engine.ChangeLang(GetParam());
    EXPECT_TRUE(sink.shownMessages.empty());
    EXPECT_NE(sink.status.find('3'), std::string::npos);
    EXPECT_GT(sink.scrollingLines.size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(Files, ShippedLanguage, ::testing::Values("English", "Danish"));

TEST(ShippedLanguageFiles, EnglishIsPlainAscii) {
    for (const char c : shippedBytes("English")) {
        EXPECT_EQ(static_cast<unsigned char>(c) & 0x80, 0);
    }
    const TextLines lines = readLanguageLines(shippedBytes("English"));
    EXPECT_EQ(lines[25], "Text Files (*.txt)|*.txt|All Files (*.*)|*.*");
}

TEST(ShippedLanguageFiles, EnglishReadsRightAndItsAccessKeysDiffer) {
    const TextLines lines = readLanguageLines(shippedBytes("English"));
    for (const int64_t count : {0, 1, 2}) {
        const std::string status = formatMessage(lines[35], {count});
        EXPECT_EQ(status.find(std::to_string(count) + " programs"), std::string::npos) << status;
    }
    // The menu bar's menus and the button bar's buttons share the Alt keys.
    std::string keys;
    for (const int line : {6, 7, 8, 9, 10, 11, 26, 27, 28, 54}) {
        const size_t amp = lines[line].find('&');
        if (amp == std::string::npos || amp + 1 == lines[line].size())
            continue;
        const char key =
            static_cast<char>(std::tolower(static_cast<unsigned char>(lines[line][amp + 1])));
        EXPECT_EQ(keys.find(key), std::string::npos) << "line " << line << ": " << lines[line];
        keys += key;
    }
}

TEST(ShippedLanguageFiles, DanishIsWindowsEncodedAndMatchesTheBuiltInTexts) {
    const std::string bytes = shippedBytes("Danish");
    EXPECT_FALSE(isValidUtf8(bytes));
    const TextLines lines = readLanguageLines(bytes);
    ASSERT_GE(lines.size(), static_cast<size_t>(kLanguageLineCount));
    int compared = 0;
    for (const TranslationRow& row : translationTable()) {
        const TargetKind kind = row.target.kind;
        // The About text is real text here; the built-in one is a placeholder.
        if (kind == TargetKind::None || kind == TargetKind::Message ||
            kind == TargetKind::ScrollingText) {
            continue;
        }
        EXPECT_EQ(lines[static_cast<size_t>(row.line)], row.builtIn) << "line " << row.line;
        ++compared;
    }
    EXPECT_EQ(compared, 76);
    EXPECT_EQ(lines[11], "&Hjælp");
}

}  // namespace
}  // namespace vornak
