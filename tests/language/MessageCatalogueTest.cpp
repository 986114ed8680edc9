#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "language/MessageCatalogue.h"

namespace vornak {
namespace {

bool isAddedLine(Msg role) {
    for (const AddedLine& added : addedLines()) {
        if (added.role == role) {
            return true;
        }
    }
    return false;
}

TEST(MessageCatalogue, EntriesStartEmptyOrEnglishAndAreKeptApart) {
    MessageCatalogue catalogue;
    for (Msg role : kAllMessages) {
        EXPECT_EQ(catalogue.get(role).empty(), !isAddedLine(role)) << messageName(role);
    }
    for (Msg role : kAllMessages) {
        catalogue.set(role, messageName(role));
    }
    for (Msg role : kAllMessages) {
        EXPECT_EQ(catalogue.get(role), messageName(role));
    }
    catalogue.clear();
    EXPECT_EQ(catalogue.get(Msg::msgConfirmCaption), "");
    EXPECT_EQ(catalogue.get(addedLines().front().role), addedLines().front().english);
}

TEST(MessageCatalogue, AddedLinesFollowTheTableWithoutAGap) {
    int expected = 102;
    for (const AddedLine& added : addedLines()) {
        EXPECT_EQ(static_cast<int>(added.role), expected++) << messageName(added.role);
        EXPECT_FALSE(added.english.empty());
    }
}

TEST(MessageCatalogue, EveryRoleHasItsOwnName) {
    std::set<std::string> names;
    for (Msg role : kAllMessages) {
        names.insert(messageName(role));
    }
    EXPECT_EQ(names.size(), kAllMessages.size());
    EXPECT_STREQ(messageName(Msg::fmtStatusCount), "fmtStatusCount");
    EXPECT_STREQ(messageName(Msg::msgConfirmCaption), "msgConfirmCaption");
}

TEST(MessageCatalogue, UnknownRoleIsRefused) {
    MessageCatalogue catalogue;
    EXPECT_THROW(catalogue.get(static_cast<Msg>(4)), std::out_of_range);
    EXPECT_THROW(catalogue.set(static_cast<Msg>(9999), "x"), std::out_of_range);
}

// Readers on worker threads while the interface thread switches languages:
// every read is one of the two whole texts, never a mix or a torn string.
TEST(MessageCatalogue, ReadersSeeWholeOldOrWholeNewText) {
    MessageCatalogue catalogue;
    const std::string oldText(5000, 'o');
    const std::string newText(17000, 'n');
    catalogue.set(Msg::fmtUninstallFinished, oldText);

    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::atomic<int> reads{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                const std::string seen = catalogue.get(Msg::fmtUninstallFinished);
                if (seen != oldText && seen != newText) {
                    ++torn;
                }
                ++reads;
            }
        });
    }
    for (int i = 0; i < 20000 || reads.load() < 1000; ++i) {
        catalogue.set(Msg::fmtUninstallFinished, (i % 2 == 0) ? newText : oldText);
    }
    stop = true;
    for (auto& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(torn.load(), 0);
}

}  // namespace
}  // namespace vornak
