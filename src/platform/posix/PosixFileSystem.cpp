// File system backend for POSIX hosts: drive letters mapped onto folders,
// Windows attribute bits made up from what the host knows.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/WinePrefix.h"
#include "platform/posix/FreedesktopTrash.h"

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

bool isAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

char asciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether two names are the same name to Windows: equal once every character is
// upper-cased. Bytes that are not UTF-8 compare as they are, ASCII letters aside.
bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
    // Between ASCII names only the 26 letters have another case.
    if (isAscii(a) && isAscii(b)) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (asciiUpper(a[i]) != asciiUpper(b[i])) return false;
        return true;
    }
    const auto* x = reinterpret_cast<const uint8_t*>(a.data());
    const auto* y = reinterpret_cast<const uint8_t*>(b.data());
    const int32_t xn = static_cast<int32_t>(a.size()), yn = static_cast<int32_t>(b.size());
    int32_t i = 0, j = 0;
    while (i < xn && j < yn) {
        UChar32 c, d;
        U8_NEXT(x, i, xn, c);
        U8_NEXT(y, j, yn, d);
        if (c < 0 || d < 0) {
            // Not UTF-8 here: the byte itself.
            if (c < 0)
                c = x[i - 1];
            if (d < 0)
                d = y[j - 1];
            if (c >= 'a' && c <= 'z')
                c -= 'a' - 'A';
            if (d >= 'a' && d <= 'z')
                d -= 'a' - 'A';
            if (c != d)
                return false;
            continue;
        }
        if (c != d && u_toupper(c) != u_toupper(d))
            return false;
    }
    return i == xn && j == yn;
}

// What resolving a path asks of the host: whether `name` is in `folder` as
// written (`joined` is the two together), and which of its names differ from
// `name` only in letter case (of several, always the same one: the first in
// byte order; empty when none does).
struct DirectProbe {
    bool has(std::string_view /*folder*/, const std::string& /*name*/, const std::string& joined) {
        struct stat st {};
        return ::lstat(joined.c_str(), &st) == 0;
    }
    std::string caseless(const std::string& folder, const std::string& name) {
        std::string found;
        if (DIR* raw = ::opendir(folder.empty() ? "." : folder.c_str())) {
            DirHandle dir(raw);
            while (dirent* de = ::readdir(dir.get())) {
                const std::string candidate = de->d_name;
                if (sameNameIgnoringCase(candidate, name) && (found.empty() || candidate < found))
                    found = candidate;
            }
        }
        return found;
    }
};

struct Resolved {
    std::string path;
    // A component matched nothing in a folder that exists: nothing is there.
    bool missing = false;
};

// Resolves `rest` ('/'-separated, below the host folder `root`) the way Windows
// resolves a path: component by component, the exact name when it exists (so
// names that differ only in case stay apart on a disk that tells them apart),
// else a name that differs from it only in letter case. From the first
// component that matches nothing on, the rest is kept as written.
template <typename Probe>
Resolved resolveLetterCase(const std::string& root, const std::string& rest, Probe& probe) {
    std::string current = root;
    size_t at = 0;
    while (at < rest.size()) {
        const size_t slash = rest.find('/', at);
        const size_t end = slash == std::string::npos ? rest.size() : slash;
        const std::string name = rest.substr(at, end - at);
        if (name.empty() || name == "." || name == "..") {
            if (!name.empty() && !current.empty() && current.back() != '/')
                current += '/';
            current += name + (slash == std::string::npos ? "" : "/");
            at = end + 1;
            continue;
        }
        // The name as written is tried in place: `current` becomes the path
        // to it, and loses it again for the name found in its stead.
        const size_t folderSize = current.size();
        if (!current.empty() && current.back() != '/')
            current += '/';
        current += name;
        if (!probe.has(std::string_view(current).substr(0, folderSize), name, current)) {
            const std::string found = probe.caseless(current.substr(0, folderSize), name);
            if (found.empty())
                return {current + rest.substr(end), true};
            current.resize(current.size() - name.size());
            current += found;
        }
        if (slash == std::string::npos)
            return {current};
        at = end + 1;
        if (at == rest.size())
            return {current + "/"};
    }
    return {current};
}

std::string resolveLetterCase(const std::string& root, const std::string& rest) {
    const std::string whole = root.empty() ? rest : (root.back() == '/' ? root : root + "/") + rest;
    struct stat st {};
    if (::lstat(whole.c_str(), &st) == 0)
        return whole;
    DirectProbe probe;
    return resolveLetterCase(root, rest, probe).path;
}

// The same questions, each asked of the host once: a thousand uninstallers
// below one folder cost one look-up of that folder and, where a name is not
// there as written, one listing of it, not a thousand failing look-ups.
// A folder that cannot be listed (searchable but not readable) is asked
// directly, as without the memory.
class ListingProbe {
  public:
    bool has(std::string_view folder, const std::string& name, const std::string& joined) {
        if (const Listing* listing = listed(folder))
            return listing->types.find(name) != listing->types.end();
        auto [it, fresh] = seen_.try_emplace(joined, DT_UNKNOWN);
        if (fresh) {
            struct stat st {};
            if (::lstat(joined.c_str(), &st) != 0)
                it->second = kMissing;
            else if (S_ISREG(st.st_mode))
                it->second = DT_REG;
            else if (S_ISDIR(st.st_mode))
                it->second = DT_DIR;
        }
        return it->second != kMissing;
    }
    std::string caseless(const std::string& folder, const std::string& name) {
        Listing& listing = listingOf(folder);
        if (!listing.listed)
            return direct_.caseless(folder, name);
        if (!isAscii(name)) {
            const std::string* found = nullptr;
            for (const auto& [candidate, type] : listing.types)
                if (sameNameIgnoringCase(candidate, name) && (!found || candidate < *found))
                    found = &candidate;
            return found ? *found : std::string();
        }
        // An ASCII name: its ASCII matches by their upper case, the others one
        // by one (a few letters beyond ASCII have an ASCII upper case).
        listing.index();
        std::string upper = name;
        for (char& c : upper)
            c = asciiUpper(c);
        const auto hit = listing.byAsciiUpper.find(upper);
        const std::string* found = hit == listing.byAsciiUpper.end() ? nullptr : hit->second;
        for (const std::string* candidate : listing.notAscii)
            if (sameNameIgnoringCase(*candidate, name) && (!found || *candidate < *found))
                found = candidate;
        return found ? *found : std::string();
    }
    // What is known of the last name of `path`: DT_REG, DT_DIR, or DT_UNKNOWN
    // (a link, a device, a name never looked at) when it has to be asked.
    unsigned char typeOf(const std::string& path) const {
        if (const auto it = seen_.find(path); it != seen_.end() && it->second != kMissing)
            return it->second;
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos || slash + 1 == path.size())
            return DT_UNKNOWN;
        const std::string_view view(path);
        const auto folder = listings_.find(view.substr(0, slash == 0 ? 1 : slash));
        if (folder == listings_.end() || !folder->second.listed)
            return DT_UNKNOWN;
        const auto entry = folder->second.types.find(view.substr(slash + 1));
        if (entry == folder->second.types.end() ||
            (entry->second != DT_REG && entry->second != DT_DIR))
            return DT_UNKNOWN;
        return entry->second;
    }

  private:
    static constexpr unsigned char kMissing = 0xff;
    // Looked up by views of the paths and names being resolved, without copies.
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    template <typename Value>
    using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

    struct Listing {
        bool listed = false;
        TextMap<unsigned char> types;
        // For caseless(), made on its first use: the ASCII names by their upper
        // case (the first in byte order of each), and the names beyond ASCII.
        bool indexed = false;
        TextMap<const std::string*> byAsciiUpper;
        std::vector<const std::string*> notAscii;

        void index() {
            if (indexed)
                return;
            indexed = true;
            for (const auto& [candidate, type] : types) {
                if (!isAscii(candidate)) {
                    notAscii.push_back(&candidate);
                    continue;
                }
                std::string upper = candidate;
                for (char& c : upper)
                    c = asciiUpper(c);
                auto [it, fresh] = byAsciiUpper.try_emplace(std::move(upper), &candidate);
                if (!fresh && candidate < *it->second)
                    it->second = &candidate;
            }
        }
    };

    static std::string_view keyOf(std::string_view folder) {
        return folder.size() > 1 && folder.back() == '/' ? folder.substr(0, folder.size() - 1)
                                                         : folder;
    }
    const Listing* listed(std::string_view folder) const {
        const auto it = listings_.find(keyOf(folder));
        return it != listings_.end() && it->second.listed ? &it->second : nullptr;
    }
    Listing& listingOf(const std::string& folder) {
        const std::string key(keyOf(folder));
        auto [it, fresh] = listings_.try_emplace(key);
        if (fresh) {
            if (DIR* raw = ::opendir(key.empty() ? "." : key.c_str())) {
                DirHandle dir(raw);
                it->second.listed = true;
                while (dirent* de = ::readdir(dir.get()))
                    it->second.types.emplace(de->d_name, de->d_type);
            }
        }
        return it->second;
    }

    DirectProbe direct_;
    TextMap<Listing> listings_;
    TextMap<unsigned char> seen_;  // lstat's answer by path
};

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
  PosixFileSystem(std::map<char, std::string> drives, std::string programHostFolder,
                  std::string userDataHostFolder)
      : drives_(std::move(drives)),
        programHost_(std::move(programHostFolder)),
        userHost_(std::move(userDataHostFolder)) {
      for (auto& [letter, root] : drives_) {
          while (root.size() > 1 && root.back() == '/')
              root.pop_back();
      }
      if (programHost_.empty())
          programHost_ = executableFolder();
      while (programHost_.size() > 1 && programHost_.back() == '/')
          programHost_.pop_back();
      while (userHost_.size() > 1 && userHost_.back() == '/')
          userHost_.pop_back();
  }

    bool findFiles(const std::string& pattern, uint32_t wanted,
                   const std::function<void(const DirEntry&)>& onEntry) const override {
        const size_t sep = pattern.find_last_of("\\/");
        const std::string folder = sep == std::string::npos ? std::string() : pattern.substr(0, sep);
        const std::string wildcard = sep == std::string::npos ? pattern : pattern.substr(sep + 1);
        // The folder as written first: a walk lists folders as the host
        // spells them, and looking for another letter case costs a look-up
        // of the whole path per folder.
        std::string hostDir = folder.empty() ? std::string(".") : hostPathAsWritten(folder + "\\");
        if (hostDir.empty()) return false;
        if (hostDir.size() > 1 && hostDir.back() == '/') hostDir.pop_back();
        DirHandle dir(::opendir(hostDir.c_str()));
        if (!dir && !folder.empty() && (errno == ENOENT || errno == ENOTDIR)) {
            hostDir = toHostPath(folder + "\\");
            if (hostDir.empty()) return false;
            if (hostDir.size() > 1 && hostDir.back() == '/') hostDir.pop_back();
            dir.reset(::opendir(hostDir.c_str()));
        }
        if (!dir) return false;
        const int dirFd = ::dirfd(dir.get());
        // Asked only when an entry needs it: most folders hold files alone.
        struct stat parent {};
        bool haveParent = false;

        DirEntry entry;
        // What matchesWildcard lets through at once, asked once, not per name.
        const bool everything = wildcard == "*" || wildcard == "*.*";
        while (dirent* de = ::readdir(dir.get())) {
            const char* name = de->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            uint32_t attrs = 0;
            bool isDir = false;
            if (de->d_type == DT_REG || de->d_type == DT_LNK) {
                // Links are reported as files, so a walk never follows them in circles.
                attrs = de->d_type == DT_LNK ? kAttrArchive | kAttrReparsePoint : kAttrArchive;
            } else {
                struct stat st {};
                if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
                if (S_ISDIR(st.st_mode)) {
                    isDir = true;
                    attrs = kAttrDirectory;
                    if (!haveParent) {
                        if (::fstat(dirFd, &parent) != 0) return false;
                        haveParent = true;
                    }
                    // Another mounted file system, or a kernel view: never walked into.
                    if (st.st_dev != parent.st_dev ||
                        isPseudoFileSystem(joinHost(hostDir, name)))
                        attrs |= kAttrSystem;
                    if ((st.st_mode & 0222) == 0) attrs |= kAttrReadOnly;
                } else if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
                    attrs = S_ISLNK(st.st_mode) ? kAttrArchive | kAttrReparsePoint : kAttrArchive;
                } else {
                    attrs = kAttrSystem;  // devices, sockets, pipes
                }
            }
            (void)isDir;
            if (name[0] == '.') attrs |= kAttrHidden;
            if (!passesAttributeFilter(attrs, wanted)) continue;
            if (!everything && !matchesWildcard(name, wildcard)) continue;
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

    std::optional<std::string> readFile(const std::string& path, const ReadLimit& limit,
                                        std::string* error) const override {
        const std::string host = toHostPath(path);
        if (host.empty()) {
            if (error)
                *error = "cannot open " + path + ": no such drive";
            return std::nullopt;
        }
        return readBoundedFile(host, limit, error);
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
        struct stat folder {};
        if (::stat(dir.c_str(), &folder) != 0 && (errno == ENOENT || errno == ENOTDIR))
            return failWith("the folder " + dir + " does not exist");
        if (!writableByMode(dir)) return failWith(std::strerror(EACCES));
        struct stat existing {};
        if (::stat(host.c_str(), &existing) == 0) {
            if (S_ISDIR(existing.st_mode)) return failWith(std::strerror(EISDIR));
            if ((existing.st_mode & 0222) == 0) return failWith(std::strerror(EACCES));
        }

        return replaceWhole(host, bytes, nullptr, error);
    }

    bool writeFileThrough(const std::string& path, const std::string& bytes,
                          std::string* error) const override {
        auto failWith = [&](const std::string& why) {
            if (error)
                *error = why;
            return false;
        };
        const std::string host = toHostPath(path);
        if (host.empty())
            return failWith("no such drive");
        const std::string target = followLinks(host);
        struct stat st {};
        if (::stat(target.c_str(), &st) != 0) {
            if (errno != ENOENT)
                return failWith(std::strerror(errno));
            const std::string dir = parentOf(target);
            struct stat folder {};
            if (::stat(dir.c_str(), &folder) != 0 && (errno == ENOENT || errno == ENOTDIR))
                return failWith("the folder " + dir + " does not exist");
            if (!writableByMode(dir))
                return failWith(std::strerror(EACCES));
            return replaceWhole(target, bytes, nullptr, error);
        }
        if (S_ISDIR(st.st_mode))
            return failWith(std::strerror(EISDIR));
        if (!S_ISREG(st.st_mode))
            return failWith(target + " is not a regular file");
        if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)
            return failWith(std::strerror(EACCES));
        // Replaced whole only where nothing else about the file changes by it:
        // the user's own file, under this one name, in a folder the user may write.
        if (st.st_uid == ::geteuid() && st.st_nlink == 1 && writableByMode(parentOf(target)))
            return replaceWhole(target, bytes, &st, error);
        return overwriteInPlace(target, bytes, error);
    }

    bool canWriteDirectory(const std::string& path) const override {
        const std::string host = toHostPath(path);
        return !host.empty() && writableByMode(host);
    }

    EntryKind entryKind(const std::string& path) const override { return kindInside(path, nullptr); }
    bool removeEntry(const std::string& path, EntryKind kind) const override {
        return removeInside(path, kind, nullptr);
    }
    EntryKind entryKindWithin(const std::string& path, const std::string& hostRoot) const override {
        return hostRoot.empty() ? EntryKind::Outside : kindInside(path, &hostRoot);
    }
    bool removeEntryWithin(const std::string& path, EntryKind kind,
                           const std::string& hostRoot) const override {
        return !hostRoot.empty() && removeInside(path, kind, &hostRoot);
    }

    bool trashEntry(const std::string& path, EntryKind kind, std::string& where,
                    std::string& error) const override {
        return trashInside(path, kind, nullptr, where, error);
    }
    bool trashEntryWithin(const std::string& path, EntryKind kind, const std::string& hostRoot,
                          std::string& where, std::string& error) const override {
        if (hostRoot.empty()) {
            error = std::strerror(EACCES);
            return false;
        }
        return trashInside(path, kind, &hostRoot, where, error);
    }

    std::string walkableLinkTarget(const std::string& path) const override {
        const std::string host = toHostPath(path);
        struct stat st {};
        if (host.empty() || ::lstat(host.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {};
        const char* homeVar = std::getenv("HOME");
        const std::string home = homeVar && *homeVar ? realPath(homeVar) : std::string();
        const std::string target = realPath(host);
        if (home.empty() || home == "/" || target.empty() || !isBelow(target, home)) return {};
        struct stat dir {};
        if (::stat(target.c_str(), &dir) != 0 || !S_ISDIR(dir.st_mode)) return {};
        const auto drive = drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
        if (drive == drives_.end()) return {};
        const std::string root = realPath(drive->second);
        const size_t slash = host.find_last_of('/');
        const std::string parent = realPath(slash == 0 ? "/" : host.substr(0, slash));
        // Inside the drive it is walked anyway; a link behind a link is never followed.
        if (root.empty() || parent.empty() || isBelow(target, root) || target == root ||
            !(parent == root || isBelow(parent, root)))
            return {};
        return target;
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

    std::string userDataFolder() const override {
        if (userHost_.empty())
            return {};
        std::string folder = fromHostPath(userHost_);
        const char sep = isDrivePath(folder) ? '\\' : '/';
        if (folder.back() != sep)
            folder += sep;
        return folder;
    }

    std::string separateOwnFilesFolder() const override {
        if (ownHost_.empty())
            return {};
        std::string folder = fromHostPath(ownHost_);
        const char sep = isDrivePath(folder) ? '\\' : '/';
        if (folder.back() != sep)
            folder += sep;
        return folder;
    }
    void setSeparateOwnFilesFolder(std::string host) {
        while (host.size() > 1 && host.back() == '/')
            host.pop_back();
        ownHost_ = std::move(host);
    }

    // The drive's folder and the path below it without its leading slashes;
    // `whole` when `host` alone is the answer (a host path, a drive's root).
    // False when the path has no place on the host.
    bool hostParts(const std::string& path, std::string& host, std::string& rest, bool& whole) const {
        if (!splitHostPath(path, host, rest))
            return false;
        whole = host.empty() || rest.empty();
        if (host.empty())
            host = std::move(rest);
        rest.erase(0, std::min(rest.find_first_not_of('/'), rest.size()));
        return true;
    }

    std::string toHostPath(const std::string& path) const override {
        std::string host, rest;
        bool whole = false;
        if (!hostParts(path, host, rest, whole))
            return {};
        // Windows paths ignore letter case; the host's may not.
        return whole ? host : resolveLetterCase(host, rest);
    }

    // toHostPath without the search for another letter case.
    std::string hostPathAsWritten(const std::string& path) const {
        std::string host, rest;
        bool whole = false;
        if (!hostParts(path, host, rest, whole))
            return {};
        if (whole)
            return host;
        return host.back() == '/' ? host + rest : host + "/" + rest;
    }

    std::unique_ptr<FileLookup> fileLookup() const override {
        return std::make_unique<ListedLookup>(*this);
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
    // The drive's host folder and the rest of the path with '/' for '\\'; the
    // host folder is empty for a path without a drive. False for a drive that
    // is not mapped.
    bool splitHostPath(const std::string& path, std::string& host, std::string& rest) const {
        host.clear();
        if (isDrivePath(path)) {
            auto it =
                drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
            if (it == drives_.end())
                return false;
            host = it->second;
            rest = path.substr(2);
        } else {
            rest = path;
        }
        for (char& c : rest)
            if (c == '\\')
                c = '/';
        return true;
    }

    class ListedLookup final : public FileLookup {
      public:
        explicit ListedLookup(const PosixFileSystem& fs) : fs_(fs) {}
        bool fileExists(const std::string& path) override {
            std::string host, rest;
            if (!fs_.splitHostPath(path, host, rest))
                return false;
            rest.erase(0, std::min(rest.find_first_not_of('/'), rest.size()));
            if (host.empty() || rest.empty())
                return fs_.fileExists(path);
            const Resolved resolved = resolveLetterCase(host, rest, probe_);
            if (resolved.missing)
                return false;
            switch (probe_.typeOf(resolved.path)) {
                case DT_REG:
                    return true;
                case DT_DIR:
                    return false;
                default: {
                    // A link, or a name the listing gave no type for.
                    struct stat st {};
                    return ::stat(resolved.path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
                }
            }
        }

      private:
        const PosixFileSystem& fs_;
        ListingProbe probe_;
    };

    static std::string realPath(const std::string& path) {
        std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
        return real ? std::string(real.get()) : std::string();
    }
    // Strictly below `folder` (both real paths).
    static bool isBelow(const std::string& path, const std::string& folder) {
        return folder == "/" ? path.size() > 1
                             : path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                                   path[folder.size()] == '/';
    }

    EntryKind kindInside(const std::string& path, const std::string* hostRoot) const {
        std::string leaf;
        bool missing = false;
        FdGuard folder(openFolderInsideDrive(path, leaf, missing, hostRoot));
        if (folder.get() < 0) return missing ? EntryKind::Missing : EntryKind::Outside;
        return kindAt(folder.get(), leaf);
    }

    bool removeInside(const std::string& path, EntryKind kind, const std::string* hostRoot) const {
        if (kind != EntryKind::File && kind != EntryKind::Folder && kind != EntryKind::Link)
            return false;
        std::string leaf;
        bool missing = false;
        FdGuard folder(openFolderInsideDrive(path, leaf, missing, hostRoot));
        if (folder.get() < 0 || kindAt(folder.get(), leaf) != kind) return false;
        struct stat st {};
        if (::fstat(folder.get(), &st) != 0 || (st.st_mode & 0222) == 0) return false;
        return ::unlinkat(folder.get(), leaf.c_str(), kind == EntryKind::Folder ? AT_REMOVEDIR : 0) ==
               0;
    }

    bool trashInside(const std::string& path, EntryKind kind, const std::string* hostRoot,
                     std::string& where, std::string& error) const {
        if (kind != EntryKind::File && kind != EntryKind::Link) {
            error = std::strerror(EINVAL);
            return false;
        }
        std::string leaf;
        bool missing = false;
        FdGuard folder(openFolderInsideDrive(path, leaf, missing, hostRoot));
        if (folder.get() < 0 || kindAt(folder.get(), leaf) != kind) {
            error = std::strerror(missing ? ENOENT : EACCES);
            return false;
        }
        struct stat st {};
        if (::fstat(folder.get(), &st) != 0 || (st.st_mode & 0222) == 0) {
            error = std::strerror(EACCES);
            return false;
        }
        return moveToTrash(folder.get(), leaf, where, error);
    }

    static EntryKind kindAt(int folderFd, const std::string& leaf) {
        struct stat st {};
        if (::fstatat(folderFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return errno == ENOENT ? EntryKind::Missing : EntryKind::Outside;
        if (S_ISLNK(st.st_mode)) return EntryKind::Link;
        if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
        return EntryKind::File;
    }

    // The folder holding the last component of the drive path `path`, opened
    // and then checked where it really is, so that a link swapped in
    // afterwards changes nothing: -1 unless it lies inside the real root of
    // the path's drive. `missing`: it does not exist at all.
    // `hostRoot`, when given, stands for the drive's root (see entryKindWithin).
    int openFolderInsideDrive(const std::string& path, std::string& leaf, bool& missing,
                              const std::string* hostRoot = nullptr) const {
        missing = false;
        if (!isDrivePath(path)) return -1;
        const auto drive = drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
        if (drive == drives_.end()) return -1;
        std::string host = toHostPath(path);
        while (host.size() > 1 && host.back() == '/') host.pop_back();
        const size_t slash = host.rfind('/');
        if (slash == std::string::npos) return -1;
        leaf = host.substr(slash + 1);
        if (leaf.empty() || leaf == "." || leaf == "..") return -1;
        const std::string folderPath = slash == 0 ? "/" : host.substr(0, slash);
        std::unique_ptr<char, decltype(&std::free)> root(
            ::realpath((hostRoot ? *hostRoot : drive->second).c_str(), nullptr), &std::free);
        if (!root) return -1;
        int flags = O_DIRECTORY | O_CLOEXEC;
#ifdef O_PATH
        flags |= O_PATH;
#else
        flags |= O_RDONLY;
#endif
        FdGuard fd(::open(folderPath.c_str(), flags));
        if (fd.get() < 0) {
            missing = errno == ENOENT || errno == ENOTDIR;
            return -1;
        }
        std::string where;
        char buf[PATH_MAX];
        const std::string self = "/proc/self/fd/" + std::to_string(fd.get());
        const ssize_t n = ::readlink(self.c_str(), buf, sizeof(buf));
        if (n > 0 && static_cast<size_t>(n) < sizeof(buf) && buf[0] == '/') {
            where.assign(buf, static_cast<size_t>(n));
        } else {
            // Without /proc: the resolved name must still be the folder we hold.
            std::unique_ptr<char, decltype(&std::free)> real(::realpath(folderPath.c_str(), nullptr),
                                                             &std::free);
            struct stat held {}, named {};
            if (!real || ::fstat(fd.get(), &held) != 0 || ::stat(real.get(), &named) != 0 ||
                held.st_dev != named.st_dev || held.st_ino != named.st_ino)
                return -1;
            where = real.get();
        }
        const std::string rootPath = root.get();
        const bool inside = rootPath == "/" || where == rootPath ||
                            (where.size() > rootPath.size() &&
                             where.compare(0, rootPath.size(), rootPath) == 0 &&
                             where[rootPath.size()] == '/');
        return inside ? fd.release() : -1;
    }

    static bool isDrivePath(const std::string& path) {
        return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
    }

    // The new files of earlier writes of `host` that a crash left behind
    // ("<name>.new-<digits>"). A write still under way holds a lock on its new
    // file, so it keeps it.
    static void removeStaleNewFiles(const std::string& host) {
        const std::string dir = parentOf(host);
        const size_t slash = host.rfind('/');
        const std::string prefix =
            (slash == std::string::npos ? host : host.substr(slash + 1)) + ".new-";
        DirHandle d(opendir(dir.c_str()));
        if (!d) return;
        while (const dirent* entry = readdir(d.get())) {
            const std::string name = entry->d_name;
            if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
                continue;
            if (name.find_first_not_of("0123456789", prefix.size()) != std::string::npos)
                continue;
            const std::string path = dir + "/" + name;
            FdGuard fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
            struct stat st {};
            if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) ::unlink(path.c_str());
        }
    }

    // A new file beside `host`, complete and synced, then renamed over it: a
    // crash or a full disk leaves either the old file or the complete new one.
    // `like`: the file whose permissions and group the new one takes; without
    // it the umask's.
    static bool replaceWhole(const std::string& host, const std::string& bytes,
                             const struct stat* like, std::string* error) {
        auto failWith = [&](const std::string& why) {
            if (error)
                *error = why;
            return false;
        };
        removeStaleNewFiles(host);
        std::random_device rd;
        std::string temp;
        int rawFd = -1;
        for (int attempt = 0; attempt < 20 && rawFd < 0; ++attempt) {
            temp = host + ".new-" + std::to_string(rd());
            rawFd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (rawFd < 0 && errno != EEXIST)
                return failWith(std::strerror(errno));
        }
        if (rawFd < 0)
            return failWith(std::strerror(EEXIST));
        FdGuard fd(rawFd);
        // Marks the new file as in use, so another write of the target does not
        // take it for one that a crash left behind.
        ::flock(fd.get(), LOCK_EX | LOCK_NB);
        auto abandon = [&](int err) {
            ::unlink(temp.c_str());
            return failWith(std::strerror(err));
        };
        if (like) {
            // A group the user is no member of cannot be kept; the bits can.
            if (::fchown(fd.get(), static_cast<uid_t>(-1), like->st_gid) != 0 && errno != EPERM)
                return abandon(errno);
            if (::fchmod(fd.get(), like->st_mode & 07777) != 0)
                return abandon(errno);
        }
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return abandon(errno);
            }
            done += static_cast<size_t>(n);
        }
        if (::fsync(fd.get()) != 0 || ::close(fd.release()) != 0)
            return abandon(errno);
        if (::rename(temp.c_str(), host.c_str()) != 0)
            return abandon(errno);
        return true;
    }

    // Writes into the existing regular file itself, as an editor's save does
    // where the file may be written but its folder may not.
    static bool overwriteInPlace(const std::string& host, const std::string& bytes,
                                 std::string* error) {
        auto failWith = [&](int err) {
            if (error)
                *error = std::strerror(err);
            return false;
        };
        FdGuard fd(::open(host.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        if (fd.get() < 0)
            return failWith(errno);
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0)
            return failWith(errno);
        if (!S_ISREG(st.st_mode))
            return failWith(EINVAL);
        // The room first: on a full disk that fails before the old text is touched.
        if (bytes.size() > static_cast<uint64_t>(st.st_size)) {
            const int rc = ::posix_fallocate(fd.get(), 0, static_cast<off_t>(bytes.size()));
            if (rc != 0 && rc != EOPNOTSUPP && rc != EINVAL)
                return failWith(rc);
        }
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::pwrite(fd.get(), bytes.data() + done, bytes.size() - done,
                                       static_cast<off_t>(done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return failWith(errno);
            }
            done += static_cast<size_t>(n);
        }
        if (::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd.get()) != 0)
            return failWith(errno);
        if (::close(fd.release()) != 0)
            return failWith(errno);
        return true;
    }

    // Where a chain of links at `host` leads; `host` itself when it is no link.
    static std::string followLinks(std::string host) {
        for (int depth = 0; depth < 40; ++depth) {
            struct stat st {};
            if (::lstat(host.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
                return host;
            std::string target(PATH_MAX, '\0');
            const ssize_t n = ::readlink(host.c_str(), target.data(), target.size());
            if (n < 0)
                return host;
            target.resize(static_cast<size_t>(n));
            host = target.front() == '/' ? target : parentOf(host) + "/" + target;
        }
        return host;  // a loop: stat then says so
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
    std::string userHost_;
    std::string ownHost_;
};

}  // namespace

std::shared_ptr<FileSystem> makeFileSystem(std::map<char, std::string> drives,
                                           std::string programHostFolder,
                                           std::string userDataHostFolder) {
    return std::make_shared<PosixFileSystem>(std::move(drives), std::move(programHostFolder),
                                             std::move(userDataHostFolder));
}

std::shared_ptr<FileSystem> makePrefixFileSystem(std::map<char, std::string> drives,
                                                 const std::string& ownFilesHostFolder,
                                                 const std::string& programHostFolder) {
    auto fs = std::make_shared<PosixFileSystem>(std::move(drives), programHostFolder, std::string());
    fs->setSeparateOwnFilesFolder(ownFilesHostFolder);
    return fs;
}

std::shared_ptr<FileSystem> machineFileSystem() {
    std::map<char, std::string> drives;
    if (const char* env = std::getenv("VORNAK_DRIVES"); env && *env)
        drives = parseDriveMap(env);
    if (drives.empty()) drives['C'] = "/";
    std::string userData;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        userData = std::string(xdg) + "/vornak";
    else if (const char* home = std::getenv("HOME"); home && *home)
        userData = std::string(home) + "/.local/share/vornak";
    return makeFileSystem(std::move(drives), {}, std::move(userData));
}

}  // namespace vornak::platform
