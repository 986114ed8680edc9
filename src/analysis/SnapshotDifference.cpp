#include "analysis/SnapshotDifference.h"

#include <bit>
#include <cstdint>
#include <functional>
#include <vector>

#include "analysis/CollatedOrder.h"
#include "analysis/TextLines.h"

namespace vornak::analysis {
namespace {

// How often each line occurs in `before` more than in `after`, for the lines
// the merge below could not pair. Open addressing over the views: there may
// be hundreds of thousands of them, and a node per line would dominate.
void countedDifference(const std::vector<std::string_view>& before,
                       const std::vector<std::string_view>& after, std::string_view addedTag,
                       std::string_view deletedTag, LineArena& out) {
    struct Slot {
        std::string_view line;
        uint64_t hash = 0;
        int64_t count = 0;  // -1: only in `after`, and reported
        bool used = false;
    };
    std::vector<Slot> slots(std::bit_ceil(std::max<size_t>(16, before.size() * 2)));
    size_t used = 0;
    const std::hash<std::string_view> hasher;
    auto find = [&](std::string_view line, uint64_t hash) -> Slot& {
        const size_t mask = slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot& s = slots[i];
            if (!s.used || (s.hash == hash && s.line == line))
                return s;
        }
    };
    auto insert = [&](std::string_view line, uint64_t hash, int64_t count) {
        if (2 * (used + 1) > slots.size()) {
            std::vector<Slot> old(std::move(slots));
            slots.assign(old.size() * 2, Slot{});
            for (const Slot& o : old)
                if (o.used)
                    find(o.line, o.hash) = o;
        }
        find(line, hash) = Slot{line, hash, count, true};
        ++used;
    };
    for (std::string_view line : before) {
        const uint64_t hash = hasher(line);
        Slot& s = find(line, hash);
        if (s.used)
            ++s.count;
        else
            insert(line, hash, 1);
    }
    for (std::string_view line : after) {
        const uint64_t hash = hasher(line);
        Slot& s = find(line, hash);
        if (s.used && s.count > 0) {
            --s.count;
        } else if (s.used && s.count == 0) {
            s.count = -1;
            out.add({addedTag, "\t", line});
        } else if (!s.used) {
            insert(line, hash, -1);
            out.add({addedTag, "\t", line});
        }
    }
    for (const Slot& s : slots)
        if (s.used && s.count > 0)
            out.add({deletedTag, "\t", s.line});
}

}  // namespace

void appendDifferences(std::string_view beforeText, std::string_view afterText,
                       std::string_view addedTag, std::string_view deletedTag, LineArena& out) {
    // Pairing equal lines in any way gives the same difference, so a merge
    // pairs what it can cheaply and the counting above settles the rest. File
    // snapshots are in collation order on both sides: the merge pairs every
    // line but the differences, and compares only at those. When a side turns
    // out not to be in that order (registry snapshots are in walk order), the
    // rest of both sides goes to the counting as it is.
    LineCursor beforeLines(beforeText), afterLines(afterText);
    std::vector<std::string_view> unpairedBefore, unpairedAfter;
    std::string_view b, a, lastB, lastA;
    bool haveB = beforeLines.next(b), haveA = afterLines.next(a);
    bool startedB = false, startedA = false;
    while (haveB && haveA) {
        if (b == a) {
            lastB = b, lastA = a, startedB = startedA = true;
            haveB = beforeLines.next(b);
            haveA = afterLines.next(a);
            continue;
        }
        if ((startedB && compareCollated(lastB, b) > 0) ||
            (startedA && compareCollated(lastA, a) > 0))
            break;
        if (compareCollated(b, a) < 0) {
            unpairedBefore.push_back(b);
            lastB = b, startedB = true;
            haveB = beforeLines.next(b);
        } else {
            unpairedAfter.push_back(a);
            lastA = a, startedA = true;
            haveA = afterLines.next(a);
        }
    }
    for (; haveB; haveB = beforeLines.next(b))
        unpairedBefore.push_back(b);
    for (; haveA; haveA = afterLines.next(a))
        unpairedAfter.push_back(a);
    countedDifference(unpairedBefore, unpairedAfter, addedTag, deletedTag, out);
}

}  // namespace vornak::analysis
