#include <gtest/gtest.h>

#include <random>

#include "analysis/CollatedOrder.h"

using vornak::analysis::collatedOrder;
using vornak::analysis::compareCollated;

namespace {

std::vector<std::string> ordered(const std::vector<std::string>& lines, unsigned threads = 1) {
    const auto order = collatedOrder(
        static_cast<uint32_t>(lines.size()), [&](uint32_t i) { return std::string_view(lines[i]); },
        threads);
    std::vector<std::string> out;
    for (uint32_t i : order)
        out.push_back(lines[i]);
    return out;
}

}  // namespace

TEST(CollatedOrderTest, CaseIsIgnoredForOrderButLinesDifferingInCaseStayApart) {
    const auto out = ordered({"C:\\b", "C:\\README", "C:\\readme", "C:\\a", "C:\\Readme"});
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0], "C:\\a");
    EXPECT_EQ(out[1], "C:\\b");
    // The three spellings come together, in byte order among themselves.
    EXPECT_EQ(out[2], "C:\\README");
    EXPECT_EQ(out[3], "C:\\Readme");
    EXPECT_EQ(out[4], "C:\\readme");
}

TEST(CollatedOrderTest, OnlyByteIdenticalLinesAreDuplicates) {
    const std::vector<std::string> lines{"x", "X", "x", "y", "x"};
    const auto order = collatedOrder(
        5, [&](uint32_t i) { return std::string_view(lines[i]); }, 1);
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(lines[order[0]], "X");
    EXPECT_EQ(order[1], 0u);  // the first of the identical lines is the one kept
    EXPECT_EQ(lines[order[2]], "y");
}

TEST(CollatedOrderTest, FolderLineBeforeItsContentsAndPrefixesBeforeLongerTexts) {
    const auto out =
        ordered({"C:\\Acme\\setup.log", "C:\\Acme\t<- dir", "C:\\Acme Two\t<- dir", "C:\\Acme"});
#ifdef _WIN32
    // Windows sorts the space before the tab.
    EXPECT_EQ(out, (std::vector<std::string>{"C:\\Acme", "C:\\Acme Two\t<- dir", "C:\\Acme\t<- dir",
                                             "C:\\Acme\\setup.log"}))
#else
    EXPECT_EQ(out, (std::vector<std::string>{"C:\\Acme", "C:\\Acme\t<- dir", "C:\\Acme Two\t<- dir",
                                             "C:\\Acme\\setup.log"}))
#endif
        << "a folder's own line must come before its contents";
}

TEST(CollatedOrderTest, ThreadsGiveTheSameOrderAsOne) {
    std::mt19937 gen(7);
    const std::string alphabet = "aAbB\\\t .-_\xc3\xa6\xc3\x86zZ09";
    std::vector<std::string> lines;
    for (int i = 0; i < 30000; ++i) {
        std::string s = "C:\\";
        const int length = 1 + static_cast<int>(gen() % 12);
        for (int k = 0; k < length; ++k)
            s += alphabet[gen() % alphabet.size()];
        lines.push_back(s);
    }
    const auto single = ordered(lines, 1);
    EXPECT_EQ(ordered(lines, 2), single);
    EXPECT_EQ(ordered(lines, 3), single);
    for (size_t i = 1; i < single.size(); ++i)
        ASSERT_LT(compareCollated(single[i - 1], single[i]), 0) << i;
}

TEST(CollatedOrderTest, EmptyInput) {
    EXPECT_TRUE(ordered({}).empty());
    EXPECT_TRUE(ordered({}, 2).empty());
}
