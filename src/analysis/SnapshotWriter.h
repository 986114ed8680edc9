// Writes a snapshot file as it is produced, a buffer at a time, into a new
// file beside the old one that replaces it when complete: a registry root can
// make a hundred megabytes of lines, which need not all be held at once.
#pragma once

#include <string>
#include <string_view>

#include "analysis/SnapshotSeal.h"
#include "platform/FileSystem.h"

namespace vornak::analysis {

class SnapshotWriter {
  public:
    // The file ends in a seal (SnapshotSeal) naming run `runId`.
    SnapshotWriter(const platform::FileSystem& fs, std::string path, std::string runId = {});
    ~SnapshotWriter();  // an unfinished file is removed
    SnapshotWriter(const SnapshotWriter&) = delete;
    SnapshotWriter& operator=(const SnapshotWriter&) = delete;

    void append(std::string_view bytes) {
        hasher_.update(bytes);
        buffer_.append(bytes);
        if (buffer_.size() >= kFlushAt)
            flush();
    }

    // Puts the file in place. False, with the reason in `error`, when any
    // part of it could not be written; the old file then stays as it was.
    bool finish(std::string* error = nullptr);

  private:
    static constexpr size_t kFlushAt = 1 << 20;
    void flush();
    void fail(const std::string& why);

    const platform::FileSystem& fs_;
    std::string path_;
    std::string buffer_;
    std::string hostTemp_;  // the new file, where we write it ourselves
    int fd_ = -1;
    bool direct_ = false;  // false: everything goes to writeFile at the end
    std::string error_;
    std::string runId_;
    SealHasher hasher_;
};

}  // namespace vornak::analysis
