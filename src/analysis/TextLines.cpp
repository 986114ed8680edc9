#include "analysis/TextLines.h"

#include <cstring>

namespace vornak::analysis {

bool LineCursor::next(std::string_view& line) {
    if (p_ >= end_)
        return false;
    const void* lfHit = std::memchr(p_, '\n', static_cast<size_t>(end_ - p_));
    const char* lf = lfHit ? static_cast<const char*>(lfHit) : end_;
    const void* crHit = std::memchr(p_, '\r', static_cast<size_t>(lf - p_));
    const char* q = crHit ? static_cast<const char*>(crHit) : lf;
    line = std::string_view(p_, static_cast<size_t>(q - p_));
    p_ = (q < end_ && *q == '\r' && q + 1 < end_ && q[1] == '\n') ? q + 2 : q + 1;
    return true;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    // Snapshots average several dozen bytes a line; a rough reserve saves the
    // repeated growth of a vector of a few hundred thousand views.
    lines.reserve(text.size() / 48 + 1);
    LineCursor cursor(text);
    std::string_view line;
    while (cursor.next(line))
        lines.push_back(line);
    return lines;
}

}  // namespace vornak::analysis
