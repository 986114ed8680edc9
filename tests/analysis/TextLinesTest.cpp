#include <gtest/gtest.h>

#include "analysis/TextLines.h"

using vornak::analysis::joinLines;
using vornak::analysis::splitLines;

namespace {

std::vector<std::string> split(std::string_view text) {
    std::vector<std::string> out;
    for (auto line : splitLines(text))
        out.emplace_back(line);
    return out;
}

}  // namespace

TEST(TextLinesTest, SplitsAtEveryLineEndStyle) {
    EXPECT_EQ(split("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    // CR CR LF is a lone CR and then a CR LF: one empty line between.
    EXPECT_EQ(split("a\r\r\nb"), (std::vector<std::string>{"a", "", "b"}));
    // LF CR is two breaks.
    EXPECT_EQ(split("a\n\rb"), (std::vector<std::string>{"a", "", "b"}));
}

TEST(TextLinesTest, ABreakAtTheEndAddsNoLine) {
    EXPECT_TRUE(split("").empty());
    EXPECT_EQ(split("\r\n"), (std::vector<std::string>{""}));
    EXPECT_EQ(split("a\r\n"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(split("a\r"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(split("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(split("a"), (std::vector<std::string>{"a"}));
}

TEST(TextLinesTest, TabsAndNulsStayInTheLine) {
    const std::string text("\tHKCU\t\\\r\nx\0y\r\n", 14);
    const auto lines = split(text);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "\tHKCU\t\\");
    EXPECT_EQ(lines[1], std::string("x\0y", 3));
}

TEST(TextLinesTest, JoinEndsEveryLineWithCrLf) {
    EXPECT_EQ(joinLines(std::vector<std::string>{}), "");
    EXPECT_EQ(joinLines(std::vector<std::string>{"a", ""}), "a\r\n\r\n");
}
