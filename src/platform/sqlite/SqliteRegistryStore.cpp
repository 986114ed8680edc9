// The registry store off Windows: the machine roots in machine.db and
// HKEY_CURRENT_USER in user.db, SQLite databases inside the registry folder.
#include <memory>
#include <string>
#include <vector>

#include "platform/RegistryStore.h"
#include "platform/model/ClassesView.h"
#include "platform/sqlite/RegistryStoreFile.h"
#include "platform/sqlite/SqliteRegistryAccessor.h"

namespace vornak::platform {
namespace posix {
namespace {

class SqliteRegistryStore final : public RegistryStore {
  public:
    explicit SqliteRegistryStore(const std::string& dir)
        : dir_(dir),
          files_{std::make_shared<RegistryStoreFile>(
                     dir, "machine.db",
                     std::vector<StoreRoot>{{"HKEY_LOCAL_MACHINE", "hklm"},
                                            {"HKEY_CLASSES_ROOT", "hkcr"},
                                            {"HKEY_USERS", "hku"},
                                            {"HKEY_CURRENT_CONFIG", "hkcc"}}),
                 std::make_shared<RegistryStoreFile>(
                     dir, "user.db", std::vector<StoreRoot>{{"HKEY_CURRENT_USER", "hkcu"}})} {}

    std::unique_ptr<RegistryAccessor> accessor() override {
        return withMergedClasses(makeSqliteAccessor(files_));
    }

    void check() override {
        for (const auto& file : files_) {
            std::string error;
            auto connection = file->acquire(&error);
            if (!connection)
                throw RegistryStoreError(error);
            file->release(std::move(connection));
        }
        // A change cut short by a crash is settled as soon as the store is
        // opened, not only when machine.db is next written.
        settlePendingChanges(files_);
    }

    std::string location() const override { return dir_; }

  private:
    std::string dir_;
    StoreFiles files_;
};

}  // namespace
}  // namespace posix

std::shared_ptr<RegistryStore> openRegistryStore(const std::string& dir) {
    return std::make_shared<posix::SqliteRegistryStore>(dir);
}

}  // namespace vornak::platform
