// A snapshot file's bytes for reading, mapped into memory where the host
// allows it: a whole-drive snapshot is tens of megabytes, and the comparison
// reads two of them straight through once.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace vornak::analysis {

class MappedText {
  public:
    // nullopt when the file cannot be read, or is not a regular file within a
    // snapshot's size; `error` (if given) then names it and says why.
    static std::optional<MappedText> open(const platform::FileSystem& fs, const std::string& path,
                                          std::string* error = nullptr);

    MappedText(MappedText&& other) noexcept;
    MappedText& operator=(MappedText&& other) noexcept;
    MappedText(const MappedText&) = delete;
    MappedText& operator=(const MappedText&) = delete;
    ~MappedText();

    std::string_view text() const { return view_; }

  private:
    MappedText() = default;
    void release();

    void* mapping_ = nullptr;
    size_t mappedSize_ = 0;
    std::string copy_;  // where nothing is mapped
    std::string_view view_;
};

}  // namespace vornak::analysis
