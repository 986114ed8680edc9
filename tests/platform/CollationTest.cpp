#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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

// Texts of ranked bytes compare as their ranks do, in locales with and
// without contractions of such bytes ("aa" in Danish, "ch" in Czech, "dzs"
// in Hungarian).
TEST(Collation, RankedTextsCompareByTheirRanks) {
    std::mt19937 gen(11);
    for (const char* locale : {"", "en_US", "da_DK", "cs_CZ", "hu_HU", "fr_CA", "ja_JP"}) {
        auto c = makeCollation(locale);
        const auto ranks = c->asciiRanks();
        std::string ranked;
        for (int byte = 1; byte < 128; ++byte)
            if (ranks[byte] != 0)
                ranked += static_cast<char>(byte);
#ifndef _WIN32
        EXPECT_GT(ranked.size(), 60u) << locale;  // letters, digits, punctuation, the tab
#endif
        if (ranked.empty())
            continue;
        auto rankCompare = [&](const std::string& a, const std::string& b) {
            for (size_t i = 0; i < a.size() && i < b.size(); ++i)
                if (ranks[a[i]] != ranks[b[i]])
                    return ranks[a[i]] < ranks[b[i]] ? -1 : 1;
            return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
        };
        // Short texts over few bytes, so that near ties are common.
        const std::string alphabet = "aAcChHlLdDsSzZ.-\t \\_09";
        for (int round = 0; round < 20000; ++round) {
            std::string a, b;
            for (std::string* s : {&a, &b})
                for (size_t n = gen() % 6; n > 0; --n)
                    *s += round % 2 ? alphabet[gen() % alphabet.size()]
                                    : ranked[gen() % ranked.size()];
            if (std::all_of(a.begin(), a.end(), [&](char ch) { return ranks[ch] != 0; }) &&
                std::all_of(b.begin(), b.end(), [&](char ch) { return ranks[ch] != 0; })) {
                ASSERT_EQ(rankCompare(a, b), sign(c->compare(a, b)))
                    << locale << ": '" << a << "' vs '" << b << "'";
            }
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
