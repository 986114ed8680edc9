// The order of every sorted list of the analyser: the platform collation, with
// lines it calls equal (letter case only) ordered by their bytes, so that two
// paths differing in case stay two lines. Only byte-identical lines are
// duplicates.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace vornak::analysis {

using LineAt = std::function<std::string_view(uint32_t)>;

// The indices 0..count-1 of distinct lines, in that order; of several
// byte-identical lines the first index is kept. Lines of bytes the collation
// ranks one by one are compared by those ranks, the others by the collation;
// the views `lineAt` gives must stay valid during the call. With `threads` > 1
// the work is split between that many threads, each with its own collation.
// 0 means as many as the machine has cores (up to 2, below a size where
// threads pay off: 1).
std::vector<uint32_t> collatedOrder(uint32_t count, const LineAt& lineAt, unsigned threads = 0);

// The same comparison for two single lines: negative, zero (byte-identical)
// or positive.
int compareCollated(std::string_view a, std::string_view b);

}  // namespace vornak::analysis
