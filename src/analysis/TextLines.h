// Reading and writing the analyser's text files: lines end with CR LF when we
// write them, and may end with CR LF, a lone LF or a lone CR when we read them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vornak::analysis {

// Reads lines one after the other by the rules of splitLines, without a list.
class LineCursor {
  public:
    explicit LineCursor(std::string_view text) : p_(text.data()), end_(p_ + text.size()) {}
    // The next line into `line`; false when there is none left.
    bool next(std::string_view& line);

  private:
    const char* p_;
    const char* end_;
};

// Splits at CR LF, lone LF and lone CR. A break at the very end adds no empty
// line, so an empty text has no lines. The views point into `text`.
std::vector<std::string_view> splitLines(std::string_view text);

// Every line followed by CR LF.
template <typename Lines>
std::string joinLines(const Lines& lines) {
    size_t total = 0;
    for (const auto& line : lines)
        total += std::string_view(line).size() + 2;
    std::string out;
    out.reserve(total);
    for (const auto& line : lines) {
        out.append(std::string_view(line));
        out.append("\r\n");
    }
    return out;
}

}  // namespace vornak::analysis
