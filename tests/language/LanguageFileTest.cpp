#include <gtest/gtest.h>

#include "language/LanguageFile.h"
#include "language/TextEncoding.h"

namespace vornak {
namespace {

using namespace std::string_literals;

TEST(LanguageFile, AllLineEndStylesGiveTheSameLines) {
    const TextLines expected = {"one", "", "  three  ", "four"};
    EXPECT_EQ(readLanguageLines("one\r\n\r\n  three  \r\nfour\r\n"), expected);
    EXPECT_EQ(readLanguageLines("one\n\n  three  \nfour\n"), expected);
    EXPECT_EQ(readLanguageLines("one\r\r  three  \rfour\r"), expected);
    EXPECT_EQ(readLanguageLines("one\r\n\n  three  \rfour"), expected);
}

TEST(LanguageFile, OnlyTheLastBreakAddsNoLine) {
    EXPECT_EQ(readLanguageLines("a\n"), TextLines{"a"});
    EXPECT_EQ(readLanguageLines("a\n\n"), (TextLines{"a", ""}));
    EXPECT_EQ(readLanguageLines("\n"), TextLines{""});
    EXPECT_EQ(readLanguageLines(""), TextLines{});
    // LF then CR is two breaks, not one.
    EXPECT_EQ(readLanguageLines("a\n\rb"), (TextLines{"a", "", "b"}));
}

TEST(LanguageFile, NulEndsTheText) {
    EXPECT_EQ(readLanguageLines("a\nb\0c\nd\n"s), (TextLines{"a", "b"}));
    EXPECT_EQ(readLanguageLines("\0a\nb"s), TextLines{});
}

TEST(LanguageFile, OnlyLinesStartingWithSemicolonAreComments) {
    const TextLines lines =
        readLanguageLines(";top\r\nfirst\r\n ;not a comment\r\n;\r\n\r\nlast;\r\n;end");
    EXPECT_EQ(lines, (TextLines{"first", " ;not a comment", "", "last;"}));
}

TEST(LanguageFile, LinesAreKeptExactly) {
    EXPECT_EQ(readLanguageLines("\t\"quoted\" \\n & \r\n"), TextLines{"\t\"quoted\" \\n & "});
}

TEST(LanguageFile, ByteOrderMarkIsDropped) {
    const TextLines lines =
        readLanguageLines("\xEF\xBB\xBF; comment\r\nFirst\r\nSecond \xC3\xA6\r\n");
    EXPECT_EQ(lines, (TextLines{"First", "Second \xC3\xA6"}));
}

TEST(TextEncoding, Utf8FileIsTakenAsItIs) {
    EXPECT_EQ(readLanguageLines("Hj\xc3\xa6lp\r\nS\xc3\xb8g"), (TextLines{"Hjælp", "Søg"}));
}

TEST(TextEncoding, Cp1252FileIsConverted) {
    EXPECT_EQ(readLanguageLines("Hj\xe6lp\r\nS\xf8g\r\nG\xe5\r\n\x80 \x96 \x85"),
              (TextLines{"Hjælp", "Søg", "Gå", "€ – …"}));
}

TEST(TextEncoding, OneInvalidSequenceMakesTheWholeFileCp1252) {
    // "æ" as UTF-8 and a lone Windows-1252 "ø": the UTF-8 pair is read as two letters.
    EXPECT_EQ(decodeLanguageText("\xc3\xa6 \xf8"), "Ã¦ ø");
}

TEST(TextEncoding, Utf8ValidationIsStrict) {
    EXPECT_TRUE(isValidUtf8("plain ascii"));
    EXPECT_TRUE(isValidUtf8("\xe2\x82\xac \xf0\x9f\x98\x80"));
    EXPECT_FALSE(isValidUtf8("\xc0\x80"));          // overlong NUL
    EXPECT_FALSE(isValidUtf8("\xe0\x80\xaf"));      // overlong slash
    EXPECT_FALSE(isValidUtf8("\xed\xa0\x80"));      // surrogate
    EXPECT_FALSE(isValidUtf8("\xf4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xf5\x80\x80\x80"));
    EXPECT_FALSE(isValidUtf8("ab\xc3"));  // cut short
    EXPECT_FALSE(isValidUtf8("\xe2\x82"));
    EXPECT_FALSE(isValidUtf8("\x80"));  // stray continuation
}

TEST(TextEncoding, EveryCp1252ByteBecomesOneCharacter) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    const std::string utf8 = cp1252ToUtf8(all);
    ASSERT_TRUE(isValidUtf8(utf8));
    size_t characters = 0;
    for (const char c : utf8) {
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    EXPECT_EQ(characters, 255u);
    EXPECT_EQ(cp1252ToUtf8("\x80\x8a\x9f\xa0\xff"), "€Š\u0178\u00a0ÿ");
    // Bytes the code page leaves undefined keep their number, as on Windows.
    EXPECT_EQ(cp1252ToUtf8("\x81\x8d\x8f\x90\x9d"), "\u0081\u008d\u008f\u0090\u009d");
}

}  // namespace
}  // namespace vornak
