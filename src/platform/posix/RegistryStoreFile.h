// One file of the SQLite registry store (machine.db or user.db): opens and
// recognises it, creates it when missing or empty, and keeps idle connections so
// that an accessor costs no open.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/SqliteDatabase.h"

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

  private:
    std::unique_ptr<sqlite::Connection> open(std::string* error);

    std::string folder_;
    std::string path_;
    std::vector<StoreRoot> roots_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<sqlite::Connection>> idle_;
};

}  // namespace vornak::platform::posix
