// File system backend for POSIX hosts: drive letters mapped onto folders,
// Windows attribute bits made up from what the host knows.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

#include "platform/FileSystem.h"
#include "platform/WinePrefix.h"

namespace vornak::platform {
namespace {

// Folders a walk must never enter: kernel views, not files anyone installed.
bool isPseudoFileSystem(const std::string& hostPath) {
    return hostPath == "/proc" || hostPath == "/sys" || hostPath == "/dev";
}

struct DirCloser {
    void operator()(DIR* d) const {
        if (d) closedir(d);
    }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

class FdGuard {
public:
    explicit FdGuard(int fd) : fd_(fd) {}
    ~FdGuard() {
        if (fd_ >= 0) ::close(fd_);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

std::string joinHost(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

std::string executableFolder() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0) return ".";
    std::string path(buf, static_cast<size_t>(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Write bits count even for root: a folder or file without any write bit is
// treated as write-protected, the way Windows honours the read-only mark.
bool writableByMode(const std::string& hostPath) {
    struct stat st {};
    if (::stat(hostPath.c_str(), &st) != 0) return false;
    if ((st.st_mode & 0222) == 0) return false;
    return ::access(hostPath.c_str(), W_OK) == 0;
}

class PosixFileSystem final : public FileSystem {
public:
    PosixFileSystem(std::map<char, std::string> drives, std::string programHostFolder)
        : drives_(std::move(drives)), programHost_(std::move(programHostFolder)) {
        for (auto& [letter, root] : drives_) {
            while (root.size() > 1 && root.back() == '/') root.pop_back();
        }
        if (programHost_.empty()) programHost_ = executableFolder();
        while (programHost_.size() > 1 && programHost_.back() == '/') programHost_.pop_back();
    }

    bool findFiles(const std::string& pattern, uint32_t wanted,
                   const std::function<void(const DirEntry&)>& onEntry) const override {
        const size_t sep = pattern.find_last_of("\\/");
        const std::string folder = sep == std::string::npos ? std::string() : pattern.substr(0, sep);
        const std::string wildcard = sep == std::string::npos ? pattern : pattern.substr(sep + 1);
        std::string hostDir = folder.empty() ? std::string(".") : toHostPath(folder + "\\");
        if (hostDir.empty()) return false;
        if (hostDir.size() > 1 && hostDir.back() == '/') hostDir.pop_back();

        DirHandle dir(::opendir(hostDir.c_str()));
        if (!dir) return false;
        const int dirFd = ::dirfd(dir.get());
        struct stat parent {};
        if (::fstat(dirFd, &parent) != 0) return false;

        DirEntry entry;
        while (dirent* de = ::readdir(dir.get())) {
            const char* name = de->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            uint32_t attrs = 0;
            bool isDir = false;
            if (de->d_type == DT_REG || de->d_type == DT_LNK) {
                // Links are reported as files, so a walk never follows them in circles.
                attrs = kAttrArchive;
            } else {
                struct stat st {};
                if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
                if (S_ISDIR(st.st_mode)) {
                    isDir = true;
                    attrs = kAttrDirectory;
                    // Another mounted file system, or a kernel view: never walked into.
                    if (st.st_dev != parent.st_dev ||
                        isPseudoFileSystem(joinHost(hostDir, name)))
                        attrs |= kAttrSystem;
                    if ((st.st_mode & 0222) == 0) attrs |= kAttrReadOnly;
                } else if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
                    attrs = kAttrArchive;
                } else {
                    attrs = kAttrSystem;  // devices, sockets, pipes
                }
            }
            (void)isDir;
            if (name[0] == '.') attrs |= kAttrHidden;
            if (!passesAttributeFilter(attrs, wanted)) continue;
            if (!matchesWildcard(name, wildcard)) continue;
            entry.name.assign(name);
            entry.attributes = attrs;
            onEntry(entry);
        }
        return true;
    }

    bool fileExists(const std::string& path) const override {
        struct stat st {};
        const std::string host = toHostPath(path);
        return !host.empty() && ::stat(host.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
    }

    bool directoryExists(const std::string& path) const override {
        struct stat st {};
        const std::string host = toHostPath(path);
        return !host.empty() && ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    bool createDirectory(const std::string& path) const override {
        const std::string host = toHostPath(path);
        if (host.empty() || !writableByMode(parentOf(host))) return false;
        return ::mkdir(host.c_str(), 0777) == 0;
    }

    bool removeDirectory(const std::string& path) const override {
        const std::string host = toHostPath(path);
        if (host.empty() || !writableByMode(parentOf(host))) return false;
        return ::rmdir(host.c_str()) == 0;
    }

    bool deleteFile(const std::string& path) const override {
        const std::string host = toHostPath(path);
        if (host.empty() || directoryExists(path)) return false;
        if (!writableByMode(parentOf(host))) return false;
        return ::unlink(host.c_str()) == 0;
    }

    std::optional<std::string> readFile(const std::string& path) const override {
        const std::string host = toHostPath(path);
        if (host.empty()) return std::nullopt;
        FdGuard fd(::open(host.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd.get() < 0) return std::nullopt;
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode)) return std::nullopt;
        std::string bytes;
        bytes.reserve(static_cast<size_t>(st.st_size));
        char buf[1 << 16];
        for (;;) {
            ssize_t n = ::read(fd.get(), buf, sizeof(buf));
            if (n < 0) {
                if (errno == EINTR) continue;
                return std::nullopt;
            }
            if (n == 0) break;
            bytes.append(buf, static_cast<size_t>(n));
        }
        return bytes;
    }

    bool writeFile(const std::string& path, const std::string& bytes,
                   std::string* error) const override {
        auto failWith = [&](const std::string& why) {
            if (error) *error = why;
            return false;
        };
        const std::string host = toHostPath(path);
        if (host.empty()) return failWith("no such drive");
        const std::string dir = parentOf(host);
        if (!writableByMode(dir)) return failWith(std::strerror(EACCES));
        struct stat existing {};
        if (::stat(host.c_str(), &existing) == 0) {
            if (S_ISDIR(existing.st_mode)) return failWith(std::strerror(EISDIR));
            if ((existing.st_mode & 0222) == 0) return failWith(std::strerror(EACCES));
        }

        // Write a new file beside the old one, then rename it over: a crash or a
        // full disk leaves either the old file or the complete new one.
        std::random_device rd;
        std::string temp;
        int rawFd = -1;
        for (int attempt = 0; attempt < 20 && rawFd < 0; ++attempt) {
            temp = host + ".new-" + std::to_string(rd());
            rawFd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (rawFd < 0 && errno != EEXIST) return failWith(std::strerror(errno));
        }
        if (rawFd < 0) return failWith(std::strerror(EEXIST));
        FdGuard fd(rawFd);
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                const int err = errno;
                ::unlink(temp.c_str());
                return failWith(std::strerror(err));
            }
            done += static_cast<size_t>(n);
        }
        if (::fsync(fd.get()) != 0 || ::close(fd.release()) != 0) {
            const int err = errno;
            ::unlink(temp.c_str());
            return failWith(std::strerror(err));
        }
        if (::rename(temp.c_str(), host.c_str()) != 0) {
            const int err = errno;
            ::unlink(temp.c_str());
            return failWith(std::strerror(err));
        }
        return true;
    }

    bool canWriteDirectory(const std::string& path) const override {
        const std::string host = toHostPath(path);
        return !host.empty() && writableByMode(host);
    }

    std::vector<char> fixedDrives() const override {
        std::vector<char> letters;
        for (const auto& [letter, root] : drives_) {
            struct stat st {};
            if (::stat(root.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) letters.push_back(letter);
        }
        return letters;
    }

    std::string programFolder() const override {
        std::string folder = fromHostPath(programHost_);
        const char sep = isDrivePath(folder) ? '\\' : '/';
        if (folder.empty() || folder.back() != sep) folder += sep;
        return folder;
    }

    std::string toHostPath(const std::string& path) const override {
        std::string rest;
        std::string host;
        if (isDrivePath(path)) {
            auto it = drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
            if (it == drives_.end()) return {};
            host = it->second;
            rest = path.substr(2);
        } else {
            rest = path;
        }
        for (char& c : rest)
            if (c == '\\') c = '/';
        if (host.empty()) return rest;
        if (rest.empty()) return host;
        if (host.back() == '/' && rest.front() == '/') return host + rest.substr(1);
        if (host.back() != '/' && rest.front() != '/') return host + "/" + rest;
        return host + rest;
    }

    std::string fromHostPath(const std::string& hostPath) const override {
        // The drive whose root is the longest leading part of the path.
        const std::pair<const char, std::string>* best = nullptr;
        for (const auto& item : drives_) {
            const std::string& root = item.second;
            const bool under =
                root == "/" ? (!hostPath.empty() && hostPath[0] == '/')
                            : (hostPath.compare(0, root.size(), root) == 0 &&
                               (hostPath.size() == root.size() || hostPath[root.size()] == '/'));
            if (under && (!best || root.size() > best->second.size())) best = &item;
        }
        if (!best) return hostPath;
        std::string rest = best->second == "/" ? hostPath : hostPath.substr(best->second.size());
        for (char& c : rest)
            if (c == '/') c = '\\';
        if (rest == "\\") rest.clear();
        return std::string(1, best->first) + ":" + rest;
    }

private:
    static bool isDrivePath(const std::string& path) {
        return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
    }

    static std::string parentOf(const std::string& host) {
        std::string trimmed = host;
        while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
        auto slash = trimmed.rfind('/');
        if (slash == std::string::npos) return ".";
        if (slash == 0) return "/";
        return trimmed.substr(0, slash);
    }

    std::map<char, std::string> drives_;
    std::string programHost_;
};

}  // namespace

std::shared_ptr<FileSystem> makeFileSystem(std::map<char, std::string> drives,
                                           std::string programHostFolder) {
    return std::make_shared<PosixFileSystem>(std::move(drives), std::move(programHostFolder));
}

std::shared_ptr<FileSystem> hostFileSystem() {
    std::map<char, std::string> drives;
    if (const std::string prefix = configuredWinePrefix(); !prefix.empty())
    {
        drives = prefixDriveMap(prefix);
        if (drives.empty()) drives['C'] = prefix + "/drive_c";
    } else if (const char* env = std::getenv("VORNAK_DRIVES"); env && *env)
        drives = parseDriveMap(env);
    if (drives.empty()) drives['C'] = "/";
    return makeFileSystem(std::move(drives));
}

}  // namespace vornak::platform
