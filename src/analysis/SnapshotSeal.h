// What proves a snapshot file whole: its last line, written after everything
// else, names the run that wrote it and gives the length and checksum of all
// that comes before it. A file cut short has lost that line or does not
// match it; a file changed since does not match its checksum. Only a whole
// file is compared, or the comparison would take what is missing from it for
// what the installation deleted, and what is left for what it added.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vornak::analysis {

// The checksum of the bytes before the seal, fed piece by piece as they are
// written.
class SealHasher {
  public:
    void update(std::string_view bytes);
    uint64_t bytes() const { return total_; }
    uint64_t digest() const;

  private:
    void mix(uint64_t word);
    uint64_t state_ = 0x243F6A8885A308D3ull;
    uint64_t total_ = 0;
    uint64_t pending_ = 0;  // the bytes of an unfinished word, the first lowest
    unsigned pendingCount_ = 0;
};

// The seal line (with its CR LF) for `hasher`'s bytes, written by run `runId`.
std::string sealLine(const SealHasher& hasher, std::string_view runId);

// `body` with its seal after it.
std::string sealed(std::string body, std::string_view runId);

enum class SealState { Whole, Incomplete, Altered };

struct SealCheck {
    SealState state = SealState::Incomplete;
    std::string_view body;  // the text before the seal, when whole
    std::string runId;
};

SealCheck checkSeal(std::string_view text);

// The run named in the seal that `text` ends in, without checking the rest:
// a file that still ends in the seal of the same run is the run's file.
// nullopt when it ends in no seal.
std::optional<std::string> sealRunId(std::string_view text);

}  // namespace vornak::analysis
