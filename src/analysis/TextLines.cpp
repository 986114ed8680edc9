#include "analysis/TextLines.h"

#include <cstring>

namespace vornak::analysis {

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    // Snapshots average several dozen bytes a line; a rough reserve saves the
    // repeated growth of a vector of a few hundred thousand views.
    lines.reserve(text.size() / 48 + 1);
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const void* lfHit = std::memchr(p, '\n', static_cast<size_t>(end - p));
        const char* lf = lfHit ? static_cast<const char*>(lfHit) : end;
        const void* crHit = std::memchr(p, '\r', static_cast<size_t>(lf - p));
        const char* q = crHit ? static_cast<const char*>(crHit) : lf;
        lines.emplace_back(p, static_cast<size_t>(q - p));
        if (q < end && *q == '\r' && q + 1 < end && q[1] == '\n')
            p = q + 2;
        else
            p = q + 1;
    }
    return lines;
}

}  // namespace vornak::analysis
