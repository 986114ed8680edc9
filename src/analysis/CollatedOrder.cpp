#include "analysis/CollatedOrder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "platform/Collation.h"

namespace vornak::analysis {
namespace {

int compareBytes(std::string_view a, std::string_view b) {
    const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (c != 0)
        return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// A line to be sorted. Lines made only of bytes the collation ranks (most
// paths) are compared by their ranks, without a sort key, which would cost
// as much memory as the text and most of the sorting time; the others go to
// the collation itself.
struct Entry {
    const char* text;
    uint32_t length;
    uint32_t line : 31;
    uint32_t ranked : 1;

    std::string_view view() const { return {text, length}; }
};

using Ranks = std::array<uint8_t, 128>;

bool isRanked(std::string_view text, const Ranks& ranks) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 128 || ranks[byte] == 0)
            return false;
    }
    return true;
}

// Equal bytes have equal ranks: only where the bytes differ do the ranks count.
int compareRanked(std::string_view a, std::string_view b, const Ranks& ranks) {
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    for (;;) {
        while (i + 8 <= n) {
            uint64_t x, y;
            std::memcpy(&x, a.data() + i, 8);
            std::memcpy(&y, b.data() + i, 8);
            if (x != y) {
                if constexpr (std::endian::native == std::endian::little)
                    i += static_cast<size_t>(std::countr_zero(x ^ y)) / 8;
                break;
            }
            i += 8;
        }
        while (i < n && a[i] == b[i])
            ++i;
        if (i == n)
            return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
        const uint8_t x = ranks[static_cast<unsigned char>(a[i])];
        const uint8_t y = ranks[static_cast<unsigned char>(b[i])];
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
    }
}

struct EntryLess {
    const platform::Collation* collation;
    const Ranks* ranks;
    bool operator()(const Entry& x, const Entry& y) const {
        const int c = x.ranked && y.ranked ? compareRanked(x.view(), y.view(), *ranks)
                                           : collation->compare(x.view(), y.view());
        if (c != 0)
            return c < 0;
        const int bytes = compareBytes(x.view(), y.view());
        if (bytes != 0)
            return bytes < 0;
        return x.line < y.line;  // keeps the first of identical lines first
    }
};

// Sorts the entries of lines [begin, end) with a collation of its own.
void sortRange(uint32_t begin, uint32_t end, const LineAt& lineAt, std::vector<Entry>& entries) {
    const auto collation = platform::makeCollation();
    const Ranks ranks = collation->asciiRanks();
    for (uint32_t i = begin; i < end; ++i) {
        const std::string_view text = lineAt(i);
        entries[i] = Entry{text.data(), static_cast<uint32_t>(text.size()), i,
                           isRanked(text, ranks) ? 1u : 0u};
    }
    std::sort(entries.begin() + begin, entries.begin() + end, EntryLess{collation.get(), &ranks});
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

    // The views stay valid while the lines are sorted: `lineAt` hands out
    // views of text that outlives this call.
    std::vector<Entry> entries(count);
    std::vector<uint32_t> bounds;
    for (unsigned t = 0; t <= threads; ++t)
        bounds.push_back(static_cast<uint32_t>(uint64_t{count} * t / threads));

    if (threads == 1) {
        sortRange(0, count, lineAt, entries);
    } else {
        std::vector<std::thread> workers;
        for (unsigned t = 1; t < threads; ++t)
            workers.emplace_back(sortRange, bounds[t], bounds[t + 1], std::cref(lineAt),
                                 std::ref(entries));
        sortRange(bounds[0], bounds[1], lineAt, entries);
        for (auto& w : workers)
            w.join();
        const auto collation = platform::makeCollation();
        const Ranks ranks = collation->asciiRanks();
        for (unsigned t = 1; t < threads; ++t)
            std::inplace_merge(entries.begin(), entries.begin() + bounds[t],
                               entries.begin() + bounds[t + 1], EntryLess{collation.get(), &ranks});
    }

    std::vector<uint32_t> order;
    order.reserve(count);
    for (uint32_t k = 0; k < count; ++k) {
        if (!order.empty() && entries[k - 1].view() == entries[k].view())
            continue;
        order.push_back(entries[k].line);
    }
    return order;
}

int compareCollated(std::string_view a, std::string_view b) {
    thread_local const Ranks ranks = platform::threadCollation().asciiRanks();
    const int c = isRanked(a, ranks) && isRanked(b, ranks)
                      ? compareRanked(a, b, ranks)
                      : platform::threadCollation().compare(a, b);
    if (c != 0)
        return c < 0 ? -1 : 1;
    return compareBytes(a, b);
}

}  // namespace vornak::analysis
