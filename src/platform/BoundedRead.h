// Reading a file whole, but only a regular file within the size its kind may
// have: a FIFO that nobody writes would block the reader for ever, a device
// such as /dev/zero never ends, and a file far larger than its kind ever is
// would take all memory. Every file the program reads whole comes through here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vornak::platform {

// What a file is to the program, and the largest such file it reads. Each
// limit lies far above what the program or Wine ever writes, so that only a
// file that is not what its name says is refused.
struct ReadLimit {
    uint64_t maxBytes;
    const char* what;  // names the kind in a refusal: "... not a <what>"
};

namespace readLimits {
inline constexpr uint64_t kMiB = uint64_t{1} << 20;
// A Wine prefix's system.reg, user.reg and userdef.reg, and a .reg file to
// import: a whole exported registry stays far below.
inline constexpr ReadLimit kRegistryFile{uint64_t{1} << 30, "registry file"};
// 102 short lines and the About text: some kilobytes in every language. A
// file of an overlong line is still read: the line is cut to a caption's size
// (LanguageFile.h) and named, so the user learns which line to mend.
inline constexpr ReadLimit kLanguageFile{64 * kMiB, "language file"};
// One caption per hidden entry.
inline constexpr ReadLimit kHiddenList{64 * kMiB, "hidden list"};
// A snapshot of whole drives, one line per file: tens of millions of files
// take a few gigabytes. It is mapped rather than copied where the host allows.
inline constexpr ReadLimit kSnapshot{uint64_t{64} << 30, "snapshot"};
// The difference of two snapshots, read whole for a removal.
inline constexpr ReadLimit kAnalysisLog{uint64_t{8} << 30, "analysis log"};
// What a snapshot run notes beside its snapshots: drives, folders it could
// not read, links it went through.
inline constexpr ReadLimit kRunRecord{256 * kMiB, "snapshot record"};
// An uninstaller whose beginning is looked at to tell its installer kind;
// only its first bytes are read, so the bound is that of any program file.
inline constexpr ReadLimit kProgram{uint64_t{16} << 30, "program"};
// The splash screen's picture, a JPEG of 500 x 300 pixels.
inline constexpr ReadLimit kPicture{64 * kMiB, "picture"};
// A one-line note such as the name Wine gives its server's folder.
inline constexpr ReadLimit kNote{4096, "note"};
}  // namespace readLimits

// The whole file at `hostPath` when it is a regular file of at most
// `limit.maxBytes`. Anything else is refused before a byte of it is read, and
// opening never waits for a writer. On failure: nullopt, and `error` (when
// given) names the file and says why.
std::optional<std::string> readBoundedFile(const std::string& hostPath, const ReadLimit& limit,
                                           std::string* error = nullptr);

// Only the first `count` bytes (all of a shorter file), with the same checks.
std::optional<std::string> readBoundedFileStart(const std::string& hostPath, const ReadLimit& limit,
                                                uint64_t count, std::string* error = nullptr);

// The sentences of a refusal, the same on every host.
std::string refusedAsFolder(const std::string& hostPath, const ReadLimit& limit);
std::string refusedAsNotRegular(const std::string& hostPath, const ReadLimit& limit);
std::string refusedAsTooLarge(const std::string& hostPath, const ReadLimit& limit);

#ifndef _WIN32
// The descriptor of the regular file at `hostPath`, opened without waiting and
// checked as readBoundedFile checks it, with its size; -1 and `error` when it is
// refused. For readers that map or stream the file rather than copy it.
int openBoundedFile(const std::string& hostPath, const ReadLimit& limit, uint64_t& size,
                    std::string* error = nullptr);
#endif

}  // namespace vornak::platform
