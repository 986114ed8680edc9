// Text lines held compactly: their bytes in large blocks, one view per line.
// A whole-drive snapshot is hundreds of thousands of short lines; a string
// object per line would cost more than the text itself, and one growing
// buffer would be copied each time it grows.
#pragma once

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <vector>

namespace vornak::analysis {

class LineArena {
  public:
    LineArena() = default;
    LineArena(LineArena&&) noexcept = default;
    LineArena& operator=(LineArena&&) noexcept = default;

    // Appends one line made of the pieces in order.
    void add(std::initializer_list<std::string_view> pieces) {
        size_t length = 0;
        for (auto piece : pieces)
            length += piece.size();
        char* at = room(length);
        for (auto piece : pieces) {
            if (!piece.empty())
                std::memcpy(at, piece.data(), piece.size());
            at += piece.size();
        }
        lines_.emplace_back(at - length, length);
    }
    void add(std::string_view line) { add({line}); }

    size_t size() const { return lines_.size(); }
    bool empty() const { return lines_.empty(); }
    std::string_view operator[](size_t i) const { return lines_[i]; }

    void clear() {
        blocks_.clear();
        lines_.clear();
        lines_.shrink_to_fit();
        free_ = 0;
    }

  private:
    static constexpr size_t kBlockSize = 1 << 20;

    char* room(size_t length) {
        if (length > free_) {
            const size_t size = std::max(length, kBlockSize);
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
            next_ = blocks_.back().get();
            free_ = size;
        }
        char* at = next_;
        next_ += length;
        free_ -= length;
        return at;
    }

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::string_view> lines_;
    char* next_ = nullptr;
    size_t free_ = 0;
};

}  // namespace vornak::analysis
