#include "registry/RegFileStore.h"

#ifdef _WIN32
#include "platform/win32/WideText.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "platform/HostPath.h"
#include "registry/RegFileParser.h"
#include "registry/RegFileText.h"
#include "registry/RegFileWriter.h"

namespace vornak::registry {
namespace {

using platform::RegAccess;
using platform::RegKey;
using platform::RegStatus;

// Names go into one-line messages as lineSafe shows them.
std::string fullName(platform::RegRoot root, const std::string& path) {
    return lineSafe(std::string(platform::rootLongName(root)) + (path.empty() ? "" : "\\" + path));
}

std::string valueLabel(const std::string& name) {
    return name.empty() ? "(Default)" : "\"" + lineSafe(name) + "\"";
}

}  // namespace

std::string statusText(RegStatus status) {
    switch (status) {
        case RegStatus::Ok:
            return "no error";
        case RegStatus::NotFound:
            return "not found";
        case RegStatus::AccessDenied:
            return "access denied";
        case RegStatus::InvalidName:
            return "invalid name";
        case RegStatus::HasSubkeys:
            return "the key still has subkeys";
        case RegStatus::StoreFailure:
            return "the registry store failed";
        case RegStatus::Busy:
            return "the registry is in use by another program";
    }
    return "unknown error";
}

RegStatus deleteKeyTree(platform::RegistryAccessor& accessor, platform::RegRoot root,
                        const std::string& path) {
    if (path.empty())
        return RegStatus::InvalidName;
    std::vector<std::string> names;
    {
        std::unique_ptr<RegKey> key;
        RegStatus st = accessor.openKey(root, path, RegAccess::Full, key);
        if (st != RegStatus::Ok)
            return st;
        if ((st = platform::listSubkeyNames(accessor, *key, names)) != RegStatus::Ok)
            return st;
    }
    for (const auto& name : names) {
        const RegStatus st = deleteKeyTree(accessor, root, path + "\\" + name);
        if (st != RegStatus::Ok && st != RegStatus::NotFound)
            return st;
    }
    const size_t cut = path.rfind('\\');
    const std::string parentPath = cut == std::string::npos ? "" : path.substr(0, cut);
    const std::string leaf = cut == std::string::npos ? path : path.substr(cut + 1);
    std::unique_ptr<RegKey> parent;
    const RegStatus st = accessor.openKey(root, parentPath, RegAccess::Full, parent);
    if (st != RegStatus::Ok)
        return st;
    return accessor.deleteKey(*parent, leaf);
}

void applyRegFile(platform::RegistryAccessor& accessor, const RegFileContent& content) {
    std::vector<platform::RegRoot> roots;
    for (const auto& op : content.ops)
        if (std::find(roots.begin(), roots.end(), op.root) == roots.end())
            roots.push_back(op.root);
    TransactionGuard transaction(accessor, roots);
    std::unique_ptr<RegKey> key;  // the key of the last [key] line, kept open
    auto fail = [&accessor](const RegFileOp& op, const std::string& what, RegStatus st) {
        // A store in use says nothing about the line that met it.
        if (st == RegStatus::Busy)
            throw platform::RegistryBusyError();
        std::string why = statusText(st);
        if (st == RegStatus::StoreFailure || st == RegStatus::AccessDenied)
            if (std::string reason = accessor.failureReason(); !reason.empty())
                why = std::move(reason);
        throw RegFileError(op.line, what + ": " + why);
    };
    auto openCurrent = [&](const RegFileOp& op) {
        if (key && key->root() == op.root && key->path() == op.path)
            return;
        key.reset();
        const RegStatus st = accessor.createKey(op.root, op.path, RegAccess::Full, key);
        if (st != RegStatus::Ok)
            fail(op, "cannot create the key " + fullName(op.root, op.path), st);
    };
    for (const auto& op : content.ops) {
        switch (op.kind) {
            case RegFileOp::CreateKey:
                key.reset();
                openCurrent(op);
                break;
            case RegFileOp::DeleteKey: {
                key.reset();
                const RegStatus st = deleteKeyTree(accessor, op.root, op.path);
                if (st != RegStatus::Ok && st != RegStatus::NotFound)
                    fail(op, "cannot delete the key " + fullName(op.root, op.path), st);
                break;
            }
            case RegFileOp::SetValue: {
                openCurrent(op);
                const RegStatus st = accessor.setValue(*key, op.name, op.type, op.data);
                if (st != RegStatus::Ok)
                    fail(op,
                         "cannot set the value " + valueLabel(op.name) + " of " +
                             fullName(op.root, op.path),
                         st);
                break;
            }
            case RegFileOp::DeleteValue: {
                openCurrent(op);
                const RegStatus st = accessor.deleteValue(*key, op.name);
                if (st != RegStatus::Ok && st != RegStatus::NotFound)
                    fail(op,
                         "cannot delete the value " + valueLabel(op.name) + " of " +
                             fullName(op.root, op.path),
                         st);
                break;
            }
        }
    }
    key.reset();
    transaction.commit();
}

std::string readRegFileBytes(const std::string& filePath) {
    std::string why;
    std::optional<std::string> bytes =
        platform::readBoundedFile(filePath, platform::readLimits::kRegistryFile, &why);
    if (!bytes)
        throw RegFileError(0, why);
    return std::move(*bytes);
}

std::string importRegFile(platform::RegistryAccessor& accessor, const std::string& filePath) {
    std::string bytes = readRegFileBytes(filePath);
    const std::string name = platform::pathText(platform::hostPath(filePath).filename());
    RegFileContent content = parseRegFileTaking(std::move(bytes), name);
    if (!content.skippedHeader.empty())
        return content.skippedHeader;
    applyRegFile(accessor, content);
    return {};
}

namespace {

RegStatus readKeyTreeBelow(platform::RegistryAccessor& accessor, platform::RegRoot root,
                           const std::string& path, std::vector<RegFileKey>& out,
                           std::vector<std::string>* unreachable, bool top) {
    std::vector<std::string> names;
    {
        std::unique_ptr<RegKey> key;
        RegStatus st = accessor.openKey(root, path, RegAccess::Read, key);
        if (st == RegStatus::NotFound && !top) {
            if (unreachable)
                unreachable->push_back(path);
            return RegStatus::Ok;
        }
        if (st != RegStatus::Ok)
            return st;
        RegFileKey entry;
        entry.root = root;
        entry.path = path;
        if ((st = platform::listValues(accessor, *key, entry.values)) != RegStatus::Ok)
            return st;
        out.push_back(std::move(entry));
        if ((st = platform::listSubkeyNames(accessor, *key, names)) != RegStatus::Ok)
            return st;
    }
    for (const auto& name : names) {
        const RegStatus st = readKeyTreeBelow(
            accessor, root, path.empty() ? name : path + "\\" + name, out, unreachable, false);
        if (st != RegStatus::Ok)
            return st;
    }
    return RegStatus::Ok;
}

}  // namespace

RegStatus readKeyTree(platform::RegistryAccessor& accessor, platform::RegRoot root,
                      const std::string& path, std::vector<RegFileKey>& out,
                      std::vector<std::string>* unreachable) {
    return readKeyTreeBelow(accessor, root, path, out, unreachable, true);
}

RegStatus exportRegFile(platform::RegistryAccessor& accessor, platform::RegRoot root,
                        const std::string& path, const std::string& filePath,
                        std::vector<std::string>* leftOut, std::vector<std::string>* unreachable) {
    std::vector<RegFileKey> keys;
    const RegStatus st = readKeyTree(accessor, root, path, keys, unreachable);
    if (st != RegStatus::Ok)
        return st;
    const std::string bytes = writeRegFile(keys, leftOut);

    const std::string temp = filePath + ".vornak-tmp";
    {
        std::ofstream out(platform::hostPath(temp), std::ios::binary | std::ios::trunc);
        if (!out)
            throw RegFileError(0, "cannot write " + filePath + ": " + std::strerror(errno));
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(platform::hostPath(temp), ignored);
            throw RegFileError(0, "cannot write " + filePath);
        }
    }
    std::error_code ec;
    std::filesystem::rename(platform::hostPath(temp), platform::hostPath(filePath), ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(platform::hostPath(temp), ignored);
        throw RegFileError(0, "cannot write " + filePath + ": " + ec.message());
    }
    return RegStatus::Ok;
}

}  // namespace vornak::registry
