// Registry files against a store: import a file as one transaction, export a key
// with everything below it, delete a key tree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/BoundedRead.h"
#include "platform/RegistryStore.h"
#include "registry/RegFileModel.h"

namespace vornak::registry {

// Rolls back unless committed, so an exception anywhere leaves the store untouched.
class TransactionGuard {
  public:
    // `roots`: those the changes touch (see RegistryAccessor::beginTransaction).
    explicit TransactionGuard(platform::RegistryAccessor& accessor,
                              const std::vector<platform::RegRoot>& roots = {})
        : accessor_(accessor) {
        accessor_.beginTransaction(roots);
    }
    ~TransactionGuard() {
        if (!done_) {
            try {
                accessor_.rollback();
            } catch (...) {
                // The original failure is what the caller needs to see.
            }
        }
    }
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;
    void commit() {
        accessor_.commit();
        done_ = true;
    }

  private:
    platform::RegistryAccessor& accessor_;
    bool done_ = false;
};

// Applies parsed operations all-or-nothing. Throws RegFileError with the line of
// the operation that the store refused, RegistryBusyError when the store stayed
// in use, RegistryStoreError when it could not save; the store is then as it
// was before.
void applyRegFile(platform::RegistryAccessor& accessor, const RegFileContent& content);

inline constexpr uint64_t kMaxRegFileBytes = platform::readLimits::kRegistryFile.maxBytes;

// The bytes of a registry file. Throws RegFileError for what is not a regular
// file, or is larger than kMaxRegFileBytes, before reading any of it.
std::string readRegFileBytes(const std::string& filePath);

// Reads, parses and applies the file at `filePath`. Throws RegFileError. Returns
// the header of a file reg.exe takes but imports nothing from (see
// RegFileContent::skippedHeader), empty when the file was imported.
std::string importRegFile(platform::RegistryAccessor& accessor, const std::string& filePath);

// The key and all its subkeys, parent first. Returns NotFound when the key does not
// exist; other failures of the store come back as their status. A subkey that is
// listed but cannot be opened (a link whose target is gone, as Wine leaves some,
// or a key deleted meanwhile) is left out, with its path in `unreachable`.
platform::RegStatus readKeyTree(platform::RegistryAccessor& accessor, platform::RegRoot root,
                                const std::string& path, std::vector<RegFileKey>& out,
                                std::vector<std::string>* unreachable = nullptr);

// Writes a version 5 file of the key tree to `filePath`, replacing it. The file is
// written beside the target and renamed into place, so a failed export leaves an
// existing file as it was. Throws RegFileError; NotFound for a missing key is
// reported as the status. Keys the format cannot hold are left out, with their
// names (lineSafe) in `leftOut`; subkeys that cannot be opened as readKeyTree's.
platform::RegStatus exportRegFile(platform::RegistryAccessor& accessor, platform::RegRoot root,
                                  const std::string& path, const std::string& filePath,
                                  std::vector<std::string>* leftOut = nullptr,
                                  std::vector<std::string>* unreachable = nullptr);

// Deletes the key `path` with every subkey and value (RegDeleteTree). `path` must
// not be empty: roots cannot be deleted.
platform::RegStatus deleteKeyTree(platform::RegistryAccessor& accessor, platform::RegRoot root,
                                  const std::string& path);

// A short description of a status for messages ("access denied").
std::string statusText(platform::RegStatus status);

}  // namespace vornak::registry
