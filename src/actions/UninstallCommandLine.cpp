#include "actions/UninstallCommandLine.h"

#include <cctype>

#include "actions/EntryRegistry.h"
#include "inventory/Inventory.h"
#include "platform/RegistryStore.h"

namespace vornak::actions {
namespace {

// "{" 8-4-4-4-12 hexadecimal digits "}".
bool isProductCode(const std::string& text) {
    static constexpr char kShape[] = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
    if (text.size() != sizeof kShape - 1)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool hex = std::isxdigit(static_cast<unsigned char>(text[i])) != 0;
        if (kShape[i] == 'x' ? !hex : text[i] != kShape[i])
            return false;
    }
    return true;
}

}  // namespace

std::string msiProductCode(const std::string& keyName, const std::string& command) {
    if (isProductCode(keyName))
        return keyName;
    for (size_t at = command.find('/'); at != std::string::npos; at = command.find('/', at + 1)) {
        if (at + 1 >= command.size())
            break;
        const char option =
            static_cast<char>(std::toupper(static_cast<unsigned char>(command[at + 1])));
        if (option != 'I' && option != 'X')
            continue;
        size_t begin = at + 2;
        while (begin < command.size() && command[begin] == ' ')
            ++begin;
        const std::string code = command.substr(begin, 38);
        if (isProductCode(code))
            return code;
    }
    return {};
}

std::string commandToRun(const UninstallEntry& row) {
    if (!platform::defaultRegistryStore()->isWinePrefix())
        return row.uninstallCommand;
    if (dwordValue(row.rootCode, row.keyPath, "WindowsInstaller") != 1u)
        return row.uninstallCommand;
    const std::string keyName = row.keyPath.substr(row.keyPath.rfind('\\') + 1);
    const std::string product = msiProductCode(keyName, row.uninstallCommand);
    return product.empty() ? row.uninstallCommand : "MsiExec.exe /X" + product;
}

}  // namespace vornak::actions
