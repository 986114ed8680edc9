#include <gtest/gtest.h>

#include "language/MessageCatalogue.h"

namespace vornak {
namespace {

TEST(MessageFormat, FillsTextAndIntegerDirectives) {
    EXPECT_EQ(formatMessage("%d programs listed", {int64_t{42}}), "42 programs listed");
    EXPECT_EQ(formatMessage("%d", {int64_t{-7}}), "-7");
    EXPECT_EQ(formatMessage("Uninstalling %s (%d of %d)", {"Foo Bar", int64_t{1}, int64_t{3}}),
              "Uninstalling Foo Bar (1 of 3)");
    EXPECT_EQ(formatMessage("100%% done", {}), "100% done");
    EXPECT_EQ(formatMessage("no directives", {}), "no directives");
    EXPECT_EQ(formatMessage("", {}), "");
}

TEST(MessageFormat, ArgumentTextIsNotInterpretedAgain) {
    EXPECT_EQ(formatMessage("Deleted %s", {"C:\\100%s\\%d.txt"}), "Deleted C:\\100%s\\%d.txt");
}

TEST(MessageFormat, MalformedFormatsThrow) {
    EXPECT_THROW(formatMessage("%", {}), FormatError);
    EXPECT_THROW(formatMessage("50%", {int64_t{1}}), FormatError);
    EXPECT_THROW(formatMessage("%x", {int64_t{1}}), FormatError);
    EXPECT_THROW(formatMessage("%5d", {int64_t{1}}), FormatError);
    EXPECT_THROW(formatMessage("%-s", {"a"}), FormatError);
    EXPECT_THROW(formatMessage("%n", {}), FormatError);
    EXPECT_THROW(formatMessage("%S", {"a"}), FormatError);
}

TEST(MessageFormat, ArgumentMismatchesThrow) {
    EXPECT_THROW(formatMessage("%s", {int64_t{1}}), FormatError);
    EXPECT_THROW(formatMessage("%d", {"12"}), FormatError);
    EXPECT_THROW(formatMessage("%d and %d", {int64_t{1}}), FormatError);
    EXPECT_THROW(formatMessage("%s", {}), FormatError);
}

TEST(MessageFormat, UnusedArgumentsAreLeftOut) {
    EXPECT_EQ(formatMessage("plain", {"extra"}), "plain");
    EXPECT_EQ(formatMessage("%d", {int64_t{1}, int64_t{2}}), "1");
    EXPECT_EQ(formatMessage("", {int64_t{7}}), "") << "an entry no language has set yet";
}

TEST(MessageFormat, RoleVersionReadsTheProgramCatalogue) {
    messages().set(Msg::fmtStatusCount, "%d rows");
    EXPECT_EQ(formatMessage(Msg::fmtStatusCount, {int64_t{3}}), "3 rows");
    messages().set(Msg::fmtStatusCount, "%s rows");
    EXPECT_THROW(formatMessage(Msg::fmtStatusCount, {int64_t{3}}), FormatError);
    messages().clear();
}

}  // namespace
}  // namespace vornak
