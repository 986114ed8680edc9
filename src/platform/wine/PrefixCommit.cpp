#include "platform/wine/PrefixCommit.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string_view>

namespace vornak::platform::posix {
namespace {

const char* const kRegFiles[] = {"system.reg", "user.reg", "userdef.reg"};
constexpr const char* kLockName = ".vornak-registry.lock";
constexpr const char* kRecordName = ".vornak-registry.commit";
constexpr const char* kRecordNewName = ".vornak-registry.commit.new";
constexpr const char* kNewMark = ".vornak-new";  // system.reg.vornak-new-<pid>-<random>
constexpr const char* kRecordHeader = "vornak registry commit 1";
constexpr const char* kRecordEnd = "end";
// A record names at most three files; anything much larger is not ours.
constexpr off_t kMaxRecordBytes = 4096;

std::string systemText(int error) {
    return std::strerror(error);
}

// For the crash tests: VORNAK_TEST_STOP_AT names a point of the commit at
// which the process stops, for its test to kill it there.
void stopHereForTest(std::string_view point) {
    const char* wanted = std::getenv("VORNAK_TEST_STOP_AT");
    if (wanted && point == wanted)
        ::raise(SIGSTOP);
}

bool isRegFile(std::string_view name) {
    for (const char* f : kRegFiles)
        if (name == f)
            return true;
    return false;
}

// What a writer names its new file for `target`: the old shared name too, so
// that what an earlier version left behind goes with the rest.
bool isNewFileOf(std::string_view name, std::string_view target) {
    const std::string stem = std::string(target) + kNewMark;
    if (name.substr(0, stem.size()) != stem)
        return false;
    const std::string_view rest = name.substr(stem.size());
    if (rest.empty())
        return true;
    if (rest[0] != '-' || rest.size() < 2)
        return false;
    for (char c : rest.substr(1))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == '-'))
            return false;
    return true;
}

std::string newFileName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, "-%ld-%08x%04x", static_cast<long>(::getpid()), random(),
                  counter.fetch_add(1) & 0xFFFF);
    return target + kNewMark + suffix;
}

// 0, or the errno of what failed.
int writeAll(int fd, std::string_view text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        done += static_cast<size_t>(n);
    }
    return 0;
}

// Bytes of the file `from` appended to `fd`: by the kernel without a copy
// through this process where the file systems allow, else read and written.
int copyRange(int from, uint64_t offset, uint64_t size, int fd) {
    auto at = static_cast<off_t>(offset);
    while (size > 0) {
        const ssize_t n = ::copy_file_range(from, &at, fd, nullptr, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n > 0) {
            size -= static_cast<uint64_t>(n);
            continue;
        }
        if (n == 0)
            return EIO;  // the file was cut short meanwhile
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
            return errno;
        std::string buffer(std::min<uint64_t>(size, uint64_t{4} << 20), '\0');
        while (size > 0) {
            const ssize_t r = ::pread(from, buffer.data(), std::min<uint64_t>(size, buffer.size()), at);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                return r < 0 ? errno : EIO;
            if (const int why = writeAll(fd, std::string_view(buffer.data(), static_cast<size_t>(r))))
                return why;
            at += r;
            size -= static_cast<uint64_t>(r);
        }
    }
    return 0;
}

// Writes the pieces in turn. A big file is handed to the disk a few megabytes at
// a time as it is written, so that the sync which follows has little left to wait for.
int writePieces(int fd, const std::vector<FilePiece>& pieces) {
    constexpr uint64_t kStep = uint64_t{8} << 20;
    uint64_t written = 0, handed = 0;
    auto handOn = [&] {
        if (written - handed < kStep)
            return;
        // Only a hint: where it is not to be had, the sync does it all.
        ::sync_file_range(fd, static_cast<off_t>(handed), static_cast<off_t>(written - handed),
                          SYNC_FILE_RANGE_WRITE);
        handed = written;
    };
    for (const auto& piece : pieces) {
        if (piece.from < 0) {
            if (const int why = writeAll(fd, piece.text))
                return why;
            written += piece.text.size();
            handOn();
            continue;
        }
        for (uint64_t done = 0; done < piece.size;) {
            const uint64_t step = std::min(kStep, piece.size - done);
            if (const int why = copyRange(piece.from, piece.offset + done, step, fd))
                return why;
            done += step;
            written += step;
            handOn();
        }
    }
    return 0;
}

// A complete, synced file; 0 or the errno of what failed (the file is then gone).
int writeSynced(const std::string& path, const std::vector<FilePiece>& pieces, mode_t mode,
                uid_t owner, gid_t group, bool keepOwner) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return errno;
    int error = writePieces(fd, pieces);
    // The umask must not change what Wine's file allowed; nor should writing
    // as root hand the user's prefix to root.
    if (error == 0 && keepOwner && ::geteuid() == 0 && ::fchown(fd, owner, group) != 0)
        error = errno;
    if (error == 0 && ::fchmod(fd, mode & 07777) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        ::unlink(path.c_str());
    return error;
}

// Makes renames and removals in the folder survive a crash.
int syncFolder(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

struct RecordEntry {
    std::string newName, target;
};

// The record's entries; false when there is no whole record of ours (a record
// is renamed into place only once complete, so a partial one was never decided).
bool readRecord(const std::string& path, std::vector<RecordEntry>& entries) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    std::string text;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxRecordBytes) {
        text.resize(static_cast<size_t>(st.st_size));
        const ssize_t n = ::read(fd, text.data(), text.size());
        text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    }
    ::close(fd);
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos)
            return false;  // every line ends, the last too
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (lines.size() < 3 || lines.front() != kRecordHeader || lines.back() != kRecordEnd)
        return false;
    for (size_t i = 1; i + 1 < lines.size(); ++i) {
        const size_t tab = lines[i].find('\t');
        if (tab == std::string::npos)
            return false;
        RecordEntry e{lines[i].substr(0, tab), lines[i].substr(tab + 1)};
        // Only names of our own new files and of the prefix's registry files,
        // so a damaged or planted record cannot rename anything else.
        if (!isRegFile(e.target) || !isNewFileOf(e.newName, e.target) ||
            e.newName == e.target + kNewMark)
            return false;
        entries.push_back(std::move(e));
    }
    return true;
}

// The renames a record decides; those done already are skipped. 0 or the errno.
int finishRecord(const std::string& dir, const std::vector<RecordEntry>& entries) {
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string from = dir + "/" + entries[i].newName;
        if (::rename(from.c_str(), (dir + "/" + entries[i].target).c_str()) != 0 && errno != ENOENT)
            return errno;
        if (i == 0)
            stopHereForTest("prefix-between-renames");
    }
    if (const int error = syncFolder(dir); error != 0)
        return error;
    if (::unlink((dir + "/" + kRecordName).c_str()) != 0 && errno != ENOENT)
        return errno;
    syncFolder(dir);
    return 0;
}

}  // namespace

PrefixWriteLock::PrefixWriteLock(std::string prefixDir)
    : path_(std::move(prefixDir) + "/" + kLockName) {}

PrefixWriteLock::~PrefixWriteLock() {
    unlock();
    if (fd_ >= 0)
        ::close(fd_);
}

bool PrefixWriteLock::tryLock() {
    if (held_)
        return true;
    if (fd_ < 0) {
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        // A lock file made by another user may still be locked through a
        // read-only descriptor.
        if (fd_ < 0)
            fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd_ < 0)
            return true;
    }
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR)
            return false;
    }
    held_ = true;
    return true;
}

void PrefixWriteLock::unlock() {
    if (!held_)
        return;
    held_ = false;
    if (fd_ >= 0)
        ::flock(fd_, LOCK_UN);
}

bool commitPrefixFiles(const std::string& prefixDir, const std::vector<NewPrefixFile>& files,
                       std::string& error) {
    if (files.empty())
        return true;
    std::vector<RecordEntry> entries;
    auto removeNewFiles = [&] {
        for (const auto& e : entries)
            ::unlink((prefixDir + "/" + e.newName).c_str());
    };
    for (const auto& f : files) {
        RecordEntry e{newFileName(f.name), f.name};
        if (const int why =
                writeSynced(prefixDir + "/" + e.newName, f.pieces, f.mode, f.owner, f.group, true);
            why != 0) {
            removeNewFiles();
            error = prefixDir + "/" + f.name + ": cannot be written (" + systemText(why) +
                    "); nothing was changed";
            return false;
        }
        entries.push_back(std::move(e));
    }
    stopHereForTest("prefix-new-files-written");
    if (entries.size() > 1) {
        std::string record = std::string(kRecordHeader) + "\n";
        for (const auto& e : entries)
            record += e.newName + "\t" + e.target + "\n";
        record += std::string(kRecordEnd) + "\n";
        const std::string newRecord = prefixDir + "/" + kRecordNewName;
        int why = writeSynced(newRecord, {FilePiece{record}}, 0644, 0, 0, false);
        if (why == 0 && ::rename(newRecord.c_str(), (prefixDir + "/" + kRecordName).c_str()) != 0)
            why = errno;
        if (why == 0)
            why = syncFolder(prefixDir);
        if (why != 0) {
            ::unlink(newRecord.c_str());
            // Should the rename have happened after all, the record must not
            // outlive the new files it names.
            ::unlink((prefixDir + "/" + kRecordName).c_str());
            removeNewFiles();
            error = prefixDir + "/" + kRecordName + ": cannot be written (" + systemText(why) +
                    "); nothing was changed";
            return false;
        }
        stopHereForTest("prefix-record-written");
        if (const int failed = finishRecord(prefixDir, entries); failed != 0) {
            error = prefixDir + ": the registry files could not all be replaced (" +
                    systemText(failed) +
                    "); the change is completed the next time the prefix's registry is used";
            return false;
        }
        return true;
    }
    const std::string from = prefixDir + "/" + entries[0].newName;
    if (::rename(from.c_str(), (prefixDir + "/" + entries[0].target).c_str()) != 0) {
        const int why = errno;
        ::unlink(from.c_str());
        error = prefixDir + "/" + entries[0].target + ": cannot be replaced (" + systemText(why) +
                "); nothing was changed";
        return false;
    }
    syncFolder(prefixDir);
    return true;
}

bool prefixCommitPending(const std::string& prefixDir) {
    struct stat st {};
    return ::lstat((prefixDir + "/" + kRecordName).c_str(), &st) == 0;
}

bool recoverPrefixFiles(const std::string& prefixDir, std::string& error) {
    const std::string record = prefixDir + "/" + kRecordName;
    if (prefixCommitPending(prefixDir)) {
        std::vector<RecordEntry> entries;
        if (!readRecord(record, entries)) {
            ::unlink(record.c_str());
        } else if (const int why = finishRecord(prefixDir, entries); why != 0) {
            error = prefixDir +
                    ": an interrupted change of the registry files cannot be completed (" +
                    systemText(why) + ")";
            return false;
        }
    }
    // The lock is held, so no other writer has a new file under way: every
    // one found now was left by a writer that died.
    if (DIR* dir = ::opendir(prefixDir.c_str())) {
        std::vector<std::string> stale;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name = entry->d_name;
            bool ours = name == kRecordNewName;
            for (const char* f : kRegFiles)
                ours = ours || isNewFileOf(name, f);
            if (ours)
                stale.emplace_back(name);
        }
        ::closedir(dir);
        for (const auto& name : stale)
            ::unlink((prefixDir + "/" + name).c_str());
    }
    return true;
}

}  // namespace vornak::platform::posix
