// The byte <-> UTF-16 mapping behind registry files, and file encoding detection.
#include <gtest/gtest.h>

#include <random>

#include "registry/RegFileText.h"

namespace vornak::registry {
namespace {

TEST(RegFileText, ValidUtf8BecomesOrdinaryUtf16) {
    EXPECT_EQ(bytesToUtf16("A\xC3\xA9"), u"A\u00E9");
    EXPECT_EQ(bytesToUtf16("\xE2\x82\xAC"), u"\u20AC");
    EXPECT_EQ(bytesToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(utf16ToBytes(u"\U0001F600 \u00E9"), "\xF0\x9F\x98\x80 \xC3\xA9");
    EXPECT_EQ(bytesToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(RegFileText, BytesThatAreNotUtf8SurviveTheRoundTrip) {
    const std::string odd[] = {
        "\xFF",              // never in UTF-8
        "abc\xC3",           // cut sequence at the end
        "\xC0\x80",          // overlong NUL
        "\xED\xA0\x80",      // an encoded surrogate
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xE9t\xE9",         // Windows-1252 text
        "\xC3\xA9\xA9",      // a valid sequence followed by a stray continuation byte
    };
    for (const auto& bytes : odd) {
        const std::u16string units = bytesToUtf16(bytes);
        EXPECT_EQ(utf16ToBytes(units), bytes);
        EXPECT_EQ(utf16ToBytes(leBytesToUtf16(utf16ToLeBytes(units))), bytes);
    }
    EXPECT_EQ(bytesToUtf16("\xFF"), u"\xDCFF");
}

TEST(RegFileText, RandomBytesSurviveTheRoundTrip) {
    std::mt19937 gen(12345);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 40);
    for (int i = 0; i < 2000; ++i) {
        std::string bytes;
        const int n = length(gen);
        for (int k = 0; k < n; ++k)
            bytes += static_cast<char>(byte(gen));
        ASSERT_EQ(utf16ToBytes(bytesToUtf16(bytes)), bytes) << "case " << i;
    }
}

TEST(RegFileText, ForeignLoneSurrogatesDoNotBreakTheConversion) {
    // A high surrogate without its partner, as a damaged file may hold.
    EXPECT_EQ(utf16ToBytes(std::u16string(u"a\xD800"
                                          u"b")),
              "a\xED\xA0\x80"
              "b");
    EXPECT_EQ(utf16ToBytes(std::u16string(1, u'\xDC10')), "\xED\xB0\x90");
}

TEST(RegFileText, Windows1252HasItsOwnCharactersAt0x80To0x9F) {
    EXPECT_EQ(cp1252ToUtf8("\x80\xE9\x9F"), "\xE2\x82\xAC\xC3\xA9\xC5\xB8");
    EXPECT_EQ(cp1252ToUtf8("\x81"), "\xC2\x81");
}

TEST(RegFileText, FileEncodingsAreRecognised) {
    const std::string utf16 = std::string("\xFF\xFE", 2) + utf16ToLeBytes(u"W\u00E9\r\n");
    DecodedText d = decodeTextFile(utf16);
    EXPECT_EQ(d.encoding, FileEncoding::Utf16Le);
    EXPECT_EQ(d.text, "W\xC3\xA9\r\n");

    d = decodeTextFile(utf16ToLeBytes(u"Wx"));  // no BOM
    EXPECT_EQ(d.encoding, FileEncoding::Utf16Le);
    EXPECT_EQ(d.text, "Wx");

    d = decodeTextFile("\xEF\xBB\xBFW\xC3\xA9");
    EXPECT_EQ(d.encoding, FileEncoding::Utf8);
    EXPECT_EQ(d.text, "W\xC3\xA9");

    d = decodeTextFile("W\xC3\xA9");
    EXPECT_EQ(d.encoding, FileEncoding::Utf8);
    EXPECT_EQ(d.text, "W\xC3\xA9");

    d = decodeTextFile("W\xE9");
    EXPECT_EQ(d.encoding, FileEncoding::Cp1252);
    EXPECT_EQ(d.text, "W\xC3\xA9");

    EXPECT_EQ(decodeTextFile("").text, "");
}

}  // namespace
}  // namespace vornak::registry
