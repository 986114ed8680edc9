#include "analysis/CollatedOrder.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>

#include "platform/Collation.h"

namespace vornak::analysis {
namespace {

// A line's sort key lives in its thread's key arena; the entry carries the
// key itself so the sort compares without chasing an index.
struct Keyed {
    const char* key;
    uint32_t keyLength;
    uint32_t line;
};

int compareBytes(std::string_view a, std::string_view b) {
    const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (c != 0)
        return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

struct KeyedLess {
    const LineAt* lineAt;
    bool operator()(const Keyed& x, const Keyed& y) const {
        const int c = compareBytes({x.key, x.keyLength}, {y.key, y.keyLength});
        if (c != 0)
            return c < 0;
        const int bytes = compareBytes((*lineAt)(x.line), (*lineAt)(y.line));
        if (bytes != 0)
            return bytes < 0;
        return x.line < y.line;  // keeps the first of identical lines first
    }
};

// Makes the keys of lines [begin, end) into `arena` and sorts their entries.
void sortRange(uint32_t begin, uint32_t end, const LineAt& lineAt, std::string& arena,
               std::vector<Keyed>& entries) {
    const auto collation = platform::makeCollation();
    // Keys run about a fifth longer than their texts here; a key is built in
    // room for four bytes a character. Reserving both keeps the arena from
    // being copied as it grows, which would briefly hold it twice.
    size_t textBytes = 0, longest = 0;
    for (uint32_t i = begin; i < end; ++i) {
        const size_t length = lineAt(i).size();
        textBytes += length;
        longest = std::max(longest, length);
    }
    arena.reserve(textBytes + textBytes / 2 + 4 * longest + 64);
    std::vector<uint64_t> keyEnds;
    keyEnds.reserve(end - begin);
    for (uint32_t i = begin; i < end; ++i) {
        collation->sortKey(lineAt(i), arena);
        keyEnds.push_back(arena.size());
    }
    uint64_t start = 0;
    for (uint32_t i = begin; i < end; ++i) {
        const uint64_t stop = keyEnds[i - begin];
        entries[i] = Keyed{arena.data() + start, static_cast<uint32_t>(stop - start), i};
        start = stop;
    }
    std::sort(entries.begin() + begin, entries.begin() + end, KeyedLess{&lineAt});
}

}  // namespace

std::vector<uint32_t> collatedOrder(uint32_t count, const LineAt& lineAt, unsigned threads) {
    if (threads == 0) {
        constexpr uint32_t kWorthASecondThread = 20000;
        threads = count < kWorthASecondThread
                      ? 1
                      : std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
    }
    threads = std::clamp(threads, 1u, std::max(count, 1u));

    std::vector<Keyed> entries(count);
    std::vector<std::string> arenas(threads);
    std::vector<uint32_t> bounds;
    for (unsigned t = 0; t <= threads; ++t)
        bounds.push_back(static_cast<uint32_t>(uint64_t{count} * t / threads));

    if (threads == 1) {
        sortRange(0, count, lineAt, arenas[0], entries);
    } else {
        std::vector<std::thread> workers;
        for (unsigned t = 1; t < threads; ++t)
            workers.emplace_back(sortRange, bounds[t], bounds[t + 1], std::cref(lineAt),
                                 std::ref(arenas[t]), std::ref(entries));
        sortRange(bounds[0], bounds[1], lineAt, arenas[0], entries);
        for (auto& w : workers)
            w.join();
        for (unsigned t = 1; t < threads; ++t)
            std::inplace_merge(entries.begin(), entries.begin() + bounds[t],
                               entries.begin() + bounds[t + 1], KeyedLess{&lineAt});
    }

    std::vector<uint32_t> order;
    order.reserve(count);
    for (uint32_t k = 0; k < count; ++k) {
        const uint32_t line = entries[k].line;
        if (!order.empty() && lineAt(order.back()) == lineAt(line))
            continue;
        order.push_back(line);
    }
    return order;
}

int compareCollated(std::string_view a, std::string_view b) {
    const int c = platform::threadCollation().compare(a, b);
    if (c != 0)
        return c < 0 ? -1 : 1;
    return compareBytes(a, b);
}

}  // namespace vornak::analysis
