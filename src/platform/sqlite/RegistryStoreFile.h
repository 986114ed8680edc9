// One file of the SQLite registry store (machine.db or user.db): opens and
// recognises it, creates it when missing or empty, and keeps idle connections so
// that an accessor costs no open.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sqlite/SqliteDatabase.h"

namespace vornak::platform::posix {

struct StoreRoot {
    const char* longName;  // kept as the root key's name
    const char* folded;    // first component of every stored path in this root
};

class RegistryStoreFile {
  public:
    RegistryStoreFile(std::string folder, const std::string& fileName,
                      std::vector<StoreRoot> roots);
    ~RegistryStoreFile();
    RegistryStoreFile(const RegistryStoreFile&) = delete;
    RegistryStoreFile& operator=(const RegistryStoreFile&) = delete;

    const std::string& path() const { return path_; }

    // An idle connection, or a new one opened and checked. nullptr when the file
    // cannot be used, with a message naming the file in `error`.
    std::unique_ptr<sqlite::Connection> acquire(std::string* error);
    // Hands a connection back for reuse, ending any transaction left open on it.
    void release(std::unique_ptr<sqlite::Connection> connection);

    // How long a connection waits for another writer's lock unless told otherwise.
    static constexpr int kDefaultPatienceMs = 10000;
    // CREATE TABLE IF NOT EXISTS of the tables that changes of both files use.
    static const char* changeTablesSql();

    // Reads share one read transaction across calls, and across the accessors
    // that take the connection in turn: every transaction start costs file-lock
    // system calls, and a walk over the registry, or a call-per-value pattern,
    // would spend most of its time on them. The snapshot is given up as soon as
    // this process commits a change to any store file (so no read misses a
    // write made before it in this process) and once it is kSnapshotAge old,
    // which bounds how late a change made by another process shows; idle
    // connections give theirs up then too, so they never hold back the log.
    static constexpr auto kSnapshotAge = std::chrono::milliseconds(20);
    // Statement slots this class leaves free for its users.
    static constexpr size_t kFirstFreeSlot = sqlite::Connection::kFirstFreeSlot + 2;
    // Makes the next reads on `connection` run in a current snapshot.
    void startReading(sqlite::Connection& connection);
    static void stopReading(sqlite::Connection& connection);
    // To be called after each change committed (see startReading).
    static void noteCommit();

  private:
    std::unique_ptr<sqlite::Connection> open(std::string* error);
    void endIdleSnapshots();

    std::string folder_;
    std::string path_;
    std::vector<StoreRoot> roots_;
    std::mutex mutex_;
    // New connections are opened one at a time: the first ones may have to make
    // the file, and two threads doing that at once took each other's half-made
    // file for a foreign database.
    std::mutex openMutex_;
    std::vector<std::unique_ptr<sqlite::Connection>> idle_;
    // Ends the snapshots of idle connections when they grow too old. Woken only
    // when it has nothing to wait for, so a busy pool costs it no system calls.
    std::thread reaper_;
    std::condition_variable reaperWake_;
    bool reaperWaiting_ = false;  // waiting without a deadline
    bool stopping_ = false;
};

}  // namespace vornak::platform::posix
