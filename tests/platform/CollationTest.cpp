#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/Collation.h"

using namespace vornak::platform;

namespace {
int sign(int x) { return x < 0 ? -1 : (x > 0 ? 1 : 0); }
}  // namespace

TEST(Collation, IgnoresCaseButNotAccents) {
    auto c = makeCollation("en_US");
    EXPECT_EQ(c->compare("Program Files", "PROGRAM FILES"), 0);
    EXPECT_NE(c->compare("resume", "résumé"), 0);
    EXPECT_LT(c->compare("apple", "Banana"), 0);
    EXPECT_LT(c->compare("Zebra", "zulu"), 0);
}

TEST(Collation, PrefixFirstAndTabBeforePrintable) {
    auto c = makeCollation("en_US");
    EXPECT_LT(c->compare("C:\\Acme", "C:\\Acme\\a"), 0);
    EXPECT_LT(c->compare("C:\\Acme", "C:\\Acme\t<- dir"), 0);
    // ICU puts the tab before every printable character; Windows puts space,
    // apostrophe and hyphen before it.
#ifdef _WIN32
    const std::string beforeTab = " '-";
#else
    const std::string beforeTab;
#endif
    for (char ch = 0x20; ch < 0x7F; ++ch) {
        if (beforeTab.find(ch) == std::string::npos)
            EXPECT_LT(c->compare("x\t", std::string("x") + ch), 0) << "char " << ch;
        else
            EXPECT_GT(c->compare("x\t", std::string("x") + ch), 0) << "char " << ch;
    }
    // A folder's line sorts before the lines of its contents, also of names that
    // begin with what Windows weighs less than letters, by compare and sort key.
    const std::string folderLine = "C:\\Acme\t<- dir";
    std::string folderKey;
    c->sortKey(folderLine, folderKey);
    for (const std::string name : {"setup.log", "-x", "'x", " x", "-", "--", "\xc3\xa4"}) {
        const std::string inside = "C:\\Acme\\" + name;
        EXPECT_LT(c->compare(folderLine, inside), 0) << name;
        std::string insideKey;
        c->sortKey(inside, insideKey);
        EXPECT_LT(folderKey, insideKey) << name;
    }
}

TEST(Collation, SortKeysOrderLikeCompare) {
    auto c = makeCollation("da_DK");
    std::vector<std::string> words = {"Ærø", "aero", "Zulu", "øl", "Alfa", "alfa", "\tx",
                                      "ål",  "a\\b", "a b",  "",   "ABC",  "abc d"};
    for (const auto& a : words) {
        for (const auto& b : words) {
            std::string ka, kb;
            c->sortKey(a, ka);
            c->sortKey(b, kb);
            EXPECT_EQ(sign(ka.compare(kb)), sign(c->compare(a, b))) << a << " vs " << b;
        }
    }
}

TEST(Collation, LocaleUpperAndFold) {
    auto c = makeCollation("da_DK");
    EXPECT_EQ(c->toUpper("bargain æøå"), "BARGAIN ÆØÅ");
    EXPECT_EQ(c->foldCase("SOFTWARE Ærø"), "software ærø");
    // Bytes that are not UTF-8 do not crash anything.
    EXPECT_NO_THROW(c->compare("\xff\xfe", "abc"));
    std::string key;
    EXPECT_NO_THROW(c->sortKey("\xc3", key));
}
