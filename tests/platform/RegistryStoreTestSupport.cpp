#include "RegistryStoreTestSupport.h"

namespace vornak::test {

using namespace platform;

namespace {

void dumpKey(RegistryAccessor& acc, RegRoot root, const std::string& path, std::string& out) {
    std::unique_ptr<RegKey> key;
    if (acc.openKey(root, path, RegAccess::Read, key) != RegStatus::Ok) {
        out += "[unreadable] " + path + "\n";
        return;
    }
    out += "[" + path + "]\n";
    for (const auto& value : values(acc, *key))
        out += value.name + " " + std::to_string(value.type) + " " + value.data + "\n";
    for (const auto& name : subkeyNames(acc, *key))
        dumpKey(acc, root, path.empty() ? name : path + "\\" + name, out);
}

}  // namespace

std::string dumpRoot(RegistryAccessor& acc, RegRoot root) {
    std::string out;
    dumpKey(acc, root, "", out);
    return out;
}

}  // namespace vornak::test
