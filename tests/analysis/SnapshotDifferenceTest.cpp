#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "analysis/CollatedOrder.h"
#include "analysis/SnapshotDifference.h"
#include "analysis/TextLines.h"

using namespace vornak::analysis;

namespace {

std::vector<std::string> differences(const std::vector<std::string>& before,
                                     const std::vector<std::string>& after) {
    LineArena out;
    const std::string b = joinLines(before), a = joinLines(after);
    appendDifferences(b, a, "ADD", "DEL", out);
    std::vector<std::string> lines;
    for (size_t i = 0; i < out.size(); ++i)
        lines.emplace_back(out[i]);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The definition itself: more often after than before is added, the reverse deleted.
std::vector<std::string> expected(const std::vector<std::string>& before,
                                  const std::vector<std::string>& after) {
    std::map<std::string, int> count;
    for (const auto& l : after)
        ++count[l];
    for (const auto& l : before)
        --count[l];
    std::vector<std::string> lines;
    for (const auto& [line, n] : count)
        if (n != 0)
            lines.push_back((n > 0 ? "ADD\t" : "DEL\t") + line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

void sortCollated(std::vector<std::string>& lines) {
    std::sort(lines.begin(), lines.end(),
              [](const auto& x, const auto& y) { return compareCollated(x, y) < 0; });
}

}  // namespace

TEST(SnapshotDifferenceTest, ExactMultisetDifferenceWhateverTheOrder) {
    std::mt19937 gen(11);
    const std::vector<std::string> words{
        "C:\\a", "C:\\A", "C:\\b", "C:\\a\t<- dir", "C:\\a\\x", "\tHKCU\t\\", "HKCU\t\\\tv\tint:1",
        "",      "x",     "X y"};
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> before, after;
        const int n = static_cast<int>(gen() % 40);
        for (int i = 0; i < n; ++i) {
            std::string line = words[gen() % words.size()];
            if (gen() % 3 == 0)
                line += std::to_string(gen() % 5);
            before.push_back(line);
        }
        after = before;
        for (int k = static_cast<int>(gen() % 6); k > 0 && !after.empty(); --k)
            after.erase(after.begin() + static_cast<long>(gen() % after.size()));
        for (int k = static_cast<int>(gen() % 6); k > 0; --k)
            after.push_back(words[gen() % words.size()] + "new" + std::to_string(gen() % 3));
        if (round % 2 == 0) {
            // As file snapshots are: both sides in collation order.
            sortCollated(before);
            sortCollated(after);
        } else {
            std::shuffle(after.begin(), after.end(), gen);
        }
        ASSERT_EQ(differences(before, after), expected(before, after)) << "round " << round;
    }
}

TEST(SnapshotDifferenceTest, EmptySides) {
    EXPECT_TRUE(differences({}, {}).empty());
    EXPECT_EQ(differences({}, {"a", "a"}), (std::vector<std::string>{"ADD\ta"}));
    EXPECT_EQ(differences({"a", ""}, {}), (std::vector<std::string>{"DEL\t", "DEL\ta"}));
}
