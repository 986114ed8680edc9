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

// The names of an open key's subkeys, by index until the store says there are no more.
RegStatus subkeyNames(platform::RegistryAccessor& accessor, const RegKey& key,
                      std::vector<std::string>& names) {
    for (uint32_t i = 0;; ++i) {
        std::string name;
        const RegStatus st = accessor.enumKey(key, i, name);
        if (st == RegStatus::NotFound)
            return RegStatus::Ok;
        if (st != RegStatus::Ok)
            return st;
        names.push_back(std::move(name));
    }
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
        if ((st = subkeyNames(accessor, *key, names)) != RegStatus::Ok)
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

#ifdef _WIN32
std::string readRegFileBytes(const std::string& filePath) {
    // Opened once and then asked what it is: a device (CON, a pipe) could wait
    // for input for ever, and a file's name can be swapped between looking and reading.
    const std::wstring wide = platform::hostPath(filePath).wstring();
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw RegFileError(0, "cannot open " + filePath + ": " +
                                  platform::win32::errorText(GetLastError()));
    struct Closer {
        HANDLE h;
        ~Closer() { CloseHandle(h); }
    } closer{h};
    if (GetFileType(h) != FILE_TYPE_DISK)
        throw RegFileError(0, filePath + " is not a regular file, so not a registry file");
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info))
        throw RegFileError(0, "cannot read " + filePath + ": " +
                                  platform::win32::errorText(GetLastError()));
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        throw RegFileError(0, filePath + " is a folder, not a registry file");
    const uint64_t size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    if (size > kMaxRegFileBytes)
        throw RegFileError(0, filePath + " is larger than any registry file (more than " +
                                  std::to_string(kMaxRegFileBytes >> 20) + " MB); it was not read");
    std::string bytes(static_cast<size_t>(size), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        if (!ReadFile(h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n, nullptr))
            throw RegFileError(0, "cannot read " + filePath + ": " +
                                      platform::win32::errorText(GetLastError()));
        if (n == 0)
            break;  // it has shrunk meanwhile
        done += n;
    }
    bytes.resize(done);
    return bytes;
}
#else
std::string readRegFileBytes(const std::string& filePath) {
    // Not blocking on a FIFO that nobody writes: it is refused below anyway.
    const int fd = ::open(filePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw RegFileError(0, "cannot open " + filePath + ": " + std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw RegFileError(0, "cannot read " + filePath + ": " + std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        throw RegFileError(0, filePath + " is a folder, not a registry file");
    if (!S_ISREG(st.st_mode))
        throw RegFileError(0, filePath + " is not a regular file, so not a registry file");
    if (static_cast<uint64_t>(st.st_size) > kMaxRegFileBytes)
        throw RegFileError(0, filePath + " is larger than any registry file (more than " +
                                  std::to_string(kMaxRegFileBytes >> 20) + " MB); it was not read");
    std::string bytes(static_cast<size_t>(st.st_size), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw RegFileError(0, "cannot read " + filePath + ": " + std::strerror(errno));
        if (n == 0)
            break;  // it has shrunk meanwhile
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}
#endif

void importRegFile(platform::RegistryAccessor& accessor, const std::string& filePath) {
    std::string bytes = readRegFileBytes(filePath);
    const std::string name = platform::pathText(platform::hostPath(filePath).filename());
    applyRegFile(accessor, parseRegFileTaking(std::move(bytes), name));
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
        for (uint32_t i = 0;; ++i) {
            platform::RegValue value;
            st = accessor.enumValue(*key, i, value);
            if (st == RegStatus::NotFound)
                break;
            if (st != RegStatus::Ok)
                return st;
            entry.values.push_back(std::move(value));
        }
        out.push_back(std::move(entry));
        if ((st = subkeyNames(accessor, *key, names)) != RegStatus::Ok)
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
