// Text lines held compactly: one run of bytes and the end offset of each line.
// A whole-drive snapshot is hundreds of thousands of short lines; a string
// object per line would cost more than the text itself.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vornak::analysis {

class LineArena {
public:
    // Appends one line made of the pieces in order.
    void add(std::initializer_list<std::string_view> pieces) {
        for (auto piece : pieces) bytes_.append(piece);
        ends_.push_back(bytes_.size());
    }
    void add(std::string_view line) { add({line}); }

    size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    // Bytes of all lines together, without line ends.
    size_t textSize() const { return bytes_.size(); }

    std::string_view operator[](size_t i) const {
        const uint64_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(bytes_).substr(begin, ends_[i] - begin);
    }

    void clear() {
        bytes_.clear();
        bytes_.shrink_to_fit();
        ends_.clear();
        ends_.shrink_to_fit();
    }

private:
    std::string bytes_;
    std::vector<uint64_t> ends_;
};

}  // namespace vornak::analysis
