#include "analysis/SnapshotDifference.h"

#include <bit>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "analysis/TextLines.h"

namespace vornak::analysis {
namespace {

// Lines of the before snapshot with how often they occur more than in the
// after snapshot so far. Open addressing over the line views: a snapshot has
// hundreds of thousands of lines and a node per line would dominate the time.
class LineCounts {
public:
    explicit LineCounts(size_t expected)
        : slots_(std::bit_ceil(std::max<size_t>(16, expected * 2))) {}

    // Index of the slot holding `line`, or of the empty slot where it belongs.
    size_t find(std::string_view line, uint64_t hash) const {
        const size_t mask = slots_.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& s = slots_[i];
            if (s.used == 0 || (s.hash == hash && s.line == line)) return i;
        }
    }

    struct Slot {
        uint64_t hash = 0;
        std::string_view line;
        int32_t count = 0;
        int32_t used = 0;
    };
    std::vector<Slot> slots_;
};

std::vector<uint64_t> hashAll(const std::vector<std::string_view>& lines) {
    std::vector<uint64_t> hashes(lines.size());
    const std::hash<std::string_view> hasher;
    for (size_t i = 0; i < lines.size(); ++i) hashes[i] = hasher(lines[i]);
    return hashes;
}

}  // namespace

void appendDifferences(std::string_view beforeText, std::string_view afterText,
                       std::string_view addedTag, std::string_view deletedTag, LineArena& out) {
    std::vector<std::string_view> after;
    std::vector<uint64_t> afterHashes;
    // Splitting and hashing the after snapshot overlaps with counting the
    // before snapshot; both are a pass over tens of megabytes.
    std::thread helper([&] {
        after = splitLines(afterText);
        afterHashes = hashAll(after);
    });
    const std::vector<std::string_view> before = splitLines(beforeText);
    const std::hash<std::string_view> hasher;
    LineCounts counts(before.size());
    for (std::string_view line : before) {
        const uint64_t hash = hasher(line);
        auto& slot = counts.slots_[counts.find(line, hash)];
        if (slot.used == 0) slot = {hash, line, 0, 1};
        ++slot.count;
    }
    helper.join();

    for (size_t i = 0; i < after.size(); ++i) {
        auto& slot = counts.slots_[counts.find(after[i], afterHashes[i])];
        if (slot.used == 0) {
            // Only in the after snapshot. Mark it, so a repeat is reported once.
            slot = {afterHashes[i], after[i], -1, 1};
            out.add({addedTag, "\t", after[i]});
        } else if (slot.count > 0) {
            --slot.count;
        } else if (slot.count == 0) {
            slot.count = -1;
            out.add({addedTag, "\t", after[i]});
        }
    }
    for (const auto& slot : counts.slots_)
        if (slot.used != 0 && slot.count > 0) out.add({deletedTag, "\t", slot.line});
}

}  // namespace vornak::analysis
