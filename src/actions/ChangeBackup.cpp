#include "actions/ChangeBackup.h"

#include <stdexcept>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"
#include "registry/RegFileStore.h"
#include "registry/RegistryAccess.h"
#include "registry/RegistryBackup.h"

namespace vornak::actions {

void backUpKey(const std::string& rootCode, const std::string& keyPath, Msg what,
               const std::string& label) {
    auto refuse = [](const std::string& why) {
        throw std::runtime_error(messageText(Msg::fmtBackupNotWritten, {why}));
    };
    const auto root = rootFromCode(rootCode);
    size_t begin = 0, end = keyPath.size();
    while (begin < end && keyPath[begin] == '\\')
        ++begin;
    while (end > begin && keyPath[end - 1] == '\\')
        --end;
    const std::string path = keyPath.substr(begin, end - begin);
    if (!root || path.empty())
        refuse(messages().get(Msg::msgBadKeyName));
    auto accessor = platform::defaultRegistryStore()->accessor();
    std::vector<registry::RegFileRestoreKey> keys;
    if (const auto status = registry::keyTreeImage(*accessor, *root, path, keys);
        status != platform::RegStatus::Ok)
        refuse(registry::statusText(status));
    const auto fs = platform::defaultFileSystem();
    std::string error;
    if (!registry::writeBackup(*fs, registry::backupsFolder(*fs), keys,
                               messages().get(what) + " " + label, error))
        refuse(error);
}

}  // namespace vornak::actions
