#include "platform/FileSystem.h"

#include <cctype>
#include <mutex>

namespace vornak::platform {
namespace {

std::mutex g_defaultMutex;
std::shared_ptr<FileSystem> g_default;

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool wildcardAt(const std::string& name, size_t n, const std::string& pattern, size_t p) {
    while (p < pattern.size()) {
        const char pc = pattern[p];
        if (pc == '*') {
            while (p < pattern.size() && pattern[p] == '*') ++p;
            if (p == pattern.size()) return true;
            for (size_t k = n; k <= name.size(); ++k)
                if (wildcardAt(name, k, pattern, p)) return true;
            return false;
        }
        if (n == name.size()) return false;
        if (pc != '?' && upperAscii(pc) != upperAscii(name[n])) return false;
        ++n;
        ++p;
    }
    return n == name.size();
}

}  // namespace

bool matchesWildcard(const std::string& name, const std::string& pattern) {
    // As on Windows, "*.*" also matches names without a dot.
    if (pattern == "*.*" || pattern == "*") return true;
    return wildcardAt(name, 0, pattern, 0);
}

namespace {

class DirectLookup final : public FileLookup {
public:
    explicit DirectLookup(const FileSystem& fs) : fs_(fs) {}
    bool fileExists(const std::string& path) override { return fs_.fileExists(path); }

private:
    const FileSystem& fs_;
};

}  // namespace

std::unique_ptr<FileLookup> FileSystem::fileLookup() const {
    return std::make_unique<DirectLookup>(*this);
}

// A backend that cannot tell where a path really leads is never trusted with it.
FileSystem::EntryKind FileSystem::entryKind(const std::string&) const {
    return EntryKind::Outside;
}

bool FileSystem::removeEntry(const std::string&, EntryKind) const {
    return false;
}

std::map<char, std::string> parseDriveMap(const std::string& text) {
    std::map<char, std::string> drives;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        const std::string item = text.substr(start, end - start);
        const size_t eq = item.find('=');
        if (eq == 1 && std::isalpha(static_cast<unsigned char>(item[0])) && item.size() > 2)
            drives[upperAscii(item[0])] = item.substr(2);
        start = end + 1;
    }
    return drives;
}

std::string ownFileForReading(const FileSystem& fs, const std::string& name) {
    if (std::string own = fs.separateOwnFilesFolder(); !own.empty())
        return own + name;
    const std::string user = fs.userDataFolder();
    if (!user.empty() && (fs.fileExists(user + name) || fs.directoryExists(user + name)))
        return user + name;
    return fs.programFolder() + name;
}

std::string ownFilesFolder(const FileSystem& fs, const std::string& name) {
    if (std::string own = fs.separateOwnFilesFolder(); !own.empty())
        return own;
    const std::string program = fs.programFolder();
    const std::string user = fs.userDataFolder();
    if (user.empty())
        return program;
    // A copy in the user's folder shadows the one beside the program, so writing
    // beside the program would never be read back.
    if (fs.fileExists(user + name) || fs.directoryExists(user + name))
        return user;
    const std::string beside = program + name;
    const bool writable =
        fs.directoryExists(beside) ? fs.canWriteDirectory(beside) : fs.canWriteDirectory(program);
    return writable ? program : user;
}

bool makeFolders(const FileSystem& fs, const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    if (path.empty() || fs.directoryExists(path))
        return true;
    const size_t sep = path.find_last_of("\\/");
    if (sep != std::string::npos && sep > 0) {
        std::string parent = path.substr(0, sep);
        // "C:" is the drive's root: keep its separator.
        if (parent.size() == 2 && parent[1] == ':')
            parent += path[sep];
        if (!makeFolders(fs, parent))
            return false;
    }
    return fs.createDirectory(path) || fs.directoryExists(path);
}

std::shared_ptr<FileSystem> defaultFileSystem() {
    std::lock_guard lock(g_defaultMutex);
    if (!g_default) g_default = hostFileSystem();
    return g_default;
}

void setDefaultFileSystem(std::shared_ptr<FileSystem> fs) {
    std::lock_guard lock(g_defaultMutex);
    g_default = std::move(fs);
}

}  // namespace vornak::platform
