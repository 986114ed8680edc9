// Writing a Wine prefix's registry files safely between processes: one lock
// for every writer of the prefix, and a change of several files that lands
// whole or not at all, also when the writer is killed half-way.
//
// Everything lives beside the .reg files under names Wine never reads: the
// lock file, the commit record, and each writer's new files (named after the
// file they replace, the writer's process and a random part).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace vornak::platform::posix {

// The exclusion of the writers of one prefix, held from reading the files they
// change to the last rename. An advisory lock on a file in the prefix, so it
// ends with the process that holds it, however that ends.
class PrefixWriteLock {
  public:
    explicit PrefixWriteLock(std::string prefixDir);
    ~PrefixWriteLock();
    PrefixWriteLock(const PrefixWriteLock&) = delete;
    PrefixWriteLock& operator=(const PrefixWriteLock&) = delete;

    // Takes the lock without waiting. True when it is held now (also when the
    // lock file cannot even be made: a prefix nobody may write needs no lock,
    // its writes are refused anyway); false while another writer holds it.
    bool tryLock();
    void unlock();
    bool held() const { return held_; }

  private:
    std::string path_;
    int fd_ = -1;
    bool held_ = false;
};

// A part of a new file: the text given, or, when `from` is an open file,
// `size` bytes of it at `offset` (copied by the kernel where it can).
struct FilePiece {
    std::string text;
    int from = -1;
    uint64_t offset = 0;
    uint64_t size = 0;
};

struct NewPrefixFile {
    std::string name;  // system.reg, user.reg or userdef.reg
    std::vector<FilePiece> pieces;  // the new text, one after another
    // Of the file it replaces, kept by the new one.
    mode_t mode = 0644;
    uid_t owner = 0;
    gid_t group = 0;
};

// Replaces the files, all or none: each new file is written completely and
// synced first; with more than one, a commit record naming them is made
// durable before the first rename, so the next use finishes what a crash cut
// short. The caller holds the lock. False with the reason in `error` (the
// file's path and the system's words) when nothing was changed; when a rename
// itself failed half-way, `error` says that the change is completed later.
bool commitPrefixFiles(const std::string& prefixDir, const std::vector<NewPrefixFile>& files,
                       std::string& error);

// Whether a commit record is waiting to be finished.
bool prefixCommitPending(const std::string& prefixDir);

// Finishes a commit that a crash cut short and removes what dead writers
// left behind (new files never renamed, a record half-made). The caller holds
// the lock. False with the reason when the record could not be finished.
bool recoverPrefixFiles(const std::string& prefixDir, std::string& error);

}  // namespace vornak::platform::posix
