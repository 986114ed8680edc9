#include "analysis/SnapshotSeal.h"

#include <bit>
#include <charconv>
#include <cstring>

namespace vornak::analysis {
namespace {

// No snapshot line begins so: file lines begin with a drive, registry lines
// with a tab or a root name. (A registry text with a line break in it can
// make any line; that is why only the very last line counts, and only with
// the length and checksum of everything before it.)
constexpr std::string_view kSealTag = "*snapshot end*";

uint64_t rotl(uint64_t x, int r) {
    return (x << r) | (x >> (64 - r));
}

uint64_t finalMix(uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

std::string hex(uint64_t value) {
    char text[17];
    for (int i = 15; i >= 0; --i) {
        text[i] = "0123456789abcdef"[value & 0xF];
        value >>= 4;
    }
    return std::string(text, 16);
}

struct SealFields {
    std::string_view runId;
    uint64_t bytes = 0;
    uint64_t digest = 0;
};

// The seal's fields from the last line of `text`; where that line begins in
// `start`. False when the last line is no seal.
bool parseLastLine(std::string_view text, SealFields& fields, size_t& start) {
    if (text.size() < 2 || text.substr(text.size() - 2) != "\r\n")
        return false;
    std::string_view rest = text.substr(0, text.size() - 2);
    const size_t lineBreak = rest.find_last_of("\r\n");
    start = lineBreak == std::string_view::npos ? 0 : lineBreak + 1;
    std::string_view line = rest.substr(start);
    if (line.substr(0, kSealTag.size()) != kSealTag || line.size() == kSealTag.size() ||
        line[kSealTag.size()] != '\t')
        return false;
    line.remove_prefix(kSealTag.size() + 1);
    const size_t first = line.find('\t');
    const size_t second = first == std::string_view::npos ? first : line.find('\t', first + 1);
    if (second == std::string_view::npos)
        return false;
    fields.runId = line.substr(0, first);
    const std::string_view bytes = line.substr(first + 1, second - first - 1);
    const std::string_view digest = line.substr(second + 1);
    auto number = [](std::string_view digits, uint64_t& value, int base) {
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
        return !digits.empty() && error == std::errc() && end == digits.data() + digits.size();
    };
    return number(bytes, fields.bytes, 10) && number(digest, fields.digest, 16);
}

}  // namespace

void SealHasher::mix(uint64_t word) {
    state_ = rotl((state_ ^ word) * 0x9E3779B97F4A7C15ull, 29);
}

void SealHasher::update(std::string_view bytes) {
    total_ += bytes.size();
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while (pendingCount_ != 0 && p != end) {
        pending_ |= uint64_t(static_cast<unsigned char>(*p++)) << (8 * pendingCount_);
        if (++pendingCount_ == 8) {
            mix(pending_);
            pending_ = 0;
            pendingCount_ = 0;
        }
    }
    for (; end - p >= 8; p += 8) {
        uint64_t word = 0;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&word, p, 8);  // the same word as the loop below makes
        } else {
            for (int i = 7; i >= 0; --i)
                word = (word << 8) | static_cast<unsigned char>(p[i]);
        }
        mix(word);
    }
    for (; p != end; ++p)
        pending_ |= uint64_t(static_cast<unsigned char>(*p)) << (8 * pendingCount_++);
}

uint64_t SealHasher::digest() const {
    // The length goes in too: bytes cut from the end must not leave a match.
    return finalMix(rotl((state_ ^ pending_) * 0x9E3779B97F4A7C15ull, 29) ^ total_);
}

std::string sealLine(const SealHasher& hasher, std::string_view runId) {
    return std::string(kSealTag) + "\t" + std::string(runId) + "\t" +
           std::to_string(hasher.bytes()) + "\t" + hex(hasher.digest()) + "\r\n";
}

std::string sealed(std::string body, std::string_view runId) {
    SealHasher hasher;
    hasher.update(body);
    return body + sealLine(hasher, runId);
}

SealCheck checkSeal(std::string_view text) {
    SealCheck check;
    SealFields fields;
    size_t start = 0;
    if (!parseLastLine(text, fields, start))
        return check;  // the end never written, or cut off
    check.runId = std::string(fields.runId);
    if (fields.bytes != start) {
        // Shorter: lines lost before the seal. Longer: lines added.
        check.state = fields.bytes > start ? SealState::Incomplete : SealState::Altered;
        return check;
    }
    SealHasher hasher;
    hasher.update(text.substr(0, start));
    if (hasher.digest() != fields.digest) {
        check.state = SealState::Altered;
        return check;
    }
    check.state = SealState::Whole;
    check.body = text.substr(0, start);
    return check;
}

std::optional<std::string> sealRunId(std::string_view text) {
    SealFields fields;
    size_t start = 0;
    if (!parseLastLine(text, fields, start))
        return std::nullopt;
    return std::string(fields.runId);
}

}  // namespace vornak::analysis
