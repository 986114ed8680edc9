// File system backend on kernel32. Without a drive map the program's paths are
// the host's own; with one (tests map drives onto temporary folders) each
// letter stands for a root folder, as off Windows.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <random>

#include "platform/FileSystem.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32RecycleBin.h"

namespace vornak::platform {
namespace {

using win32::narrow;
using win32::widen;

class FindHandle {
  public:
    explicit FindHandle(HANDLE h) : h_(h) {}
    ~FindHandle() {
        if (h_ != INVALID_HANDLE_VALUE)
            FindClose(h_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE get() const { return h_; }

  private:
    HANDLE h_;
};

class FileHandle {
  public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            close();
            h_ = other.h_;
            other.h_ = INVALID_HANDLE_VALUE;
        }
        return *this;
    }
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    bool close() {
        const bool ok = h_ == INVALID_HANDLE_VALUE || CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

  private:
    HANDLE h_;
};

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool isDrivePath(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

std::string backslashed(std::string path) {
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string withoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/') &&
           !(path.size() == 3 && path[1] == ':'))
        path.pop_back();
    return path;
}

bool equalsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    return true;
}

DWORD attributesOf(const std::string& host) {
    return host.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(widen(host).c_str());
}

std::string executableFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return ".";
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2);  // truncated: ask again with more room
    }
    const std::string path = narrow(buffer);
    const size_t sep = path.find_last_of("\\/");
    return sep == std::string::npos ? std::string(".") : path.substr(0, sep);
}

class Win32FileSystem final : public FileSystem {
  public:
    Win32FileSystem(std::map<char, std::string> drives, std::string programHostFolder,
                    std::string userDataHostFolder)
        : drives_(std::move(drives)),
          programHost_(std::move(programHostFolder)),
          userHost_(std::move(userDataHostFolder)) {
        if (!userHost_.empty())
            userHost_ = withoutTrailingSeparator(backslashed(userHost_));
        for (auto& [letter, root] : drives_)
            root = withoutTrailingSeparator(backslashed(root));
        if (programHost_.empty())
            programHost_ = executableFolder();
        programHost_ = withoutTrailingSeparator(backslashed(programHost_));
    }

    bool findFiles(const std::string& pattern, uint32_t wanted,
                   const std::function<void(const DirEntry&)>& onEntry) const override {
        const size_t sep = pattern.find_last_of("\\/");
        const std::string folder = sep == std::string::npos ? std::string() : pattern.substr(0, sep);
        const std::string wildcard = sep == std::string::npos ? pattern : pattern.substr(sep + 1);
        std::string hostDir = folder.empty() ? std::string(".") : toHostPath(folder + "\\");
        if (hostDir.empty())
            return false;
        if (hostDir.back() != '\\')
            hostDir += '\\';

        // Every entry, and our own wildcard check on top: Windows also matches
        // the short 8.3 names, so "*.lng" would find "old.lngbak".
        WIN32_FIND_DATAW data;
        FindHandle search(FindFirstFileExW(widen(hostDir + "*").c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH));
        if (search.get() == INVALID_HANDLE_VALUE)
            return GetLastError() == ERROR_FILE_NOT_FOUND;  // an empty drive root
        DirEntry entry;
        do {
            const wchar_t* name = data.cFileName;
            if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0')))
                continue;
            uint32_t attrs = data.dwFileAttributes &
                             (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrVolumeLabel |
                              kAttrDirectory | kAttrArchive);
            // A folder that is a link or junction is never walked into: it may
            // lead back up the tree.
            if ((attrs & kAttrDirectory) && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                attrs |= kAttrSystem;
            if (!passesAttributeFilter(attrs, wanted))
                continue;
            entry.name = narrow(name);
            if (!matchesWildcard(entry.name, wildcard))
                continue;
            entry.attributes = attrs;
            onEntry(entry);
        } while (FindNextFileW(search.get(), &data));
        return true;
    }

    bool fileExists(const std::string& path) const override {
        const DWORD a = attributesOf(toHostPath(path));
        return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool directoryExists(const std::string& path) const override {
        const DWORD a = attributesOf(toHostPath(path));
        return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool createDirectory(const std::string& path) const override {
        const std::string host = toHostPath(path);
        return !host.empty() && CreateDirectoryW(widen(host).c_str(), nullptr);
    }

    bool removeDirectory(const std::string& path) const override {
        const std::string host = toHostPath(path);
        return !host.empty() && RemoveDirectoryW(widen(host).c_str());
    }

    bool deleteFile(const std::string& path) const override {
        const std::string host = toHostPath(path);
        return !host.empty() && DeleteFileW(widen(host).c_str());
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
        auto failWith = [&](DWORD code) {
            if (error)
                *error = win32::errorText(code);
            return false;
        };
        const std::string host = toHostPath(path);
        if (host.empty()) {
            if (error)
                *error = "no such drive";
            return false;
        }
        // MoveFileEx would replace a read-only file; Windows' own writes do not.
        const DWORD existing = attributesOf(host);
        if (existing != INVALID_FILE_ATTRIBUTES &&
            (existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
            return failWith(ERROR_ACCESS_DENIED);

        removeStaleNewFiles(host);
        // A new file beside the old one, then moved over it: a crash or a full
        // disk leaves either the old file or the complete new one.
        std::random_device rd;
        std::wstring temp;
        FileHandle file(INVALID_HANDLE_VALUE);
        for (int attempt = 0; attempt < 20 && !file.valid(); ++attempt) {
            temp = widen(host + ".new-" + std::to_string(rd()));
            file = FileHandle(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file.valid() && GetLastError() != ERROR_FILE_EXISTS)
                return failWith(GetLastError());
        }
        if (!file.valid())
            return failWith(ERROR_FILE_EXISTS);
        size_t done = 0;
        while (done < bytes.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
            DWORD n = 0;
            if (!WriteFile(file.get(), bytes.data() + done, chunk, &n, nullptr)) {
                const DWORD code = GetLastError();
                file.close();
                DeleteFileW(temp.c_str());
                return failWith(code);
            }
            done += n;
        }
        if (!FlushFileBuffers(file.get()) || !file.close()) {
            const DWORD code = GetLastError();
            file.close();
            DeleteFileW(temp.c_str());
            return failWith(code);
        }
        if (!MoveFileExW(temp.c_str(), widen(host).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            const DWORD code = GetLastError();
            DeleteFileW(temp.c_str());
            return failWith(code);
        }
        return true;
    }

    bool writeFileThrough(const std::string& path, const std::string& bytes,
                          std::string* error) const override {
        const std::string host = toHostPath(path);
        if (host.empty() || attributesOf(host) == INVALID_FILE_ATTRIBUTES)
            return writeFile(path, bytes, error);
        auto failWith = [&](DWORD code) {
            if (error)
                *error = win32::errorText(code);
            return false;
        };
        // Into the file itself, as an editor's save does: a link leads to it,
        // and its security and attributes stay as they are.
        FileHandle file(CreateFileW(widen(host).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid())
            return failWith(GetLastError());
        if (GetFileType(file.get()) != FILE_TYPE_DISK)
            return failWith(ERROR_INVALID_FUNCTION);
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file.get(), &size))
            return failWith(GetLastError());
        LARGE_INTEGER end{};
        end.QuadPart = static_cast<LONGLONG>(bytes.size());
        // The room first: on a full disk that fails before the old text is touched.
        if (end.QuadPart > size.QuadPart &&
            (!SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())))
            return failWith(GetLastError());
        if (!SetFilePointerEx(file.get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN))
            return failWith(GetLastError());
        size_t done = 0;
        while (done < bytes.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
            DWORD n = 0;
            if (!WriteFile(file.get(), bytes.data() + done, chunk, &n, nullptr))
                return failWith(GetLastError());
            done += n;
        }
        if (!SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get()) ||
            !FlushFileBuffers(file.get()) || !file.close())
            return failWith(GetLastError());
        return true;
    }

    bool canWriteDirectory(const std::string& path) const override {
        // Rights on Windows are more than attribute bits: try it.
        const std::string host = toHostPath(path);
        if (host.empty() || !directoryExists(path))
            return false;
        std::random_device rd;
        const std::wstring probe =
            widen(withoutTrailingSeparator(host) + "\\.vornak-write-" + std::to_string(rd()));
        HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN,
                               nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(h);
        DeleteFileW(probe.c_str());
        return true;
    }

    std::vector<char> fixedDrives() const override {
        std::vector<char> letters;
        if (!drives_.empty()) {
            for (const auto& [letter, root] : drives_) {
                const DWORD a = attributesOf(root);
                if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY))
                    letters.push_back(letter);
            }
            return letters;
        }
        const DWORD mask = GetLogicalDrives();
        for (int i = 0; i < 26; ++i) {
            if (!(mask & (1u << i)))
                continue;
            const wchar_t root[] = {static_cast<wchar_t>(L'A' + i), L':', L'\\', L'\0'};
            if (GetDriveTypeW(root) == DRIVE_FIXED)
                letters.push_back(static_cast<char>('A' + i));
        }
        return letters;
    }

    std::string programFolder() const override {
        std::string folder = fromHostPath(programHost_);
        if (folder.empty() || folder.back() != '\\')
            folder += '\\';
        return folder;
    }

    std::string userDataFolder() const override {
        if (userHost_.empty())
            return {};
        std::string folder = fromHostPath(userHost_);
        if (folder.back() != '\\')
            folder += '\\';
        return folder;
    }

    EntryKind entryKind(const std::string& path) const override {
        std::string leafHost;
        return inspect(path, leafHost);
    }

    bool removeEntry(const std::string& path, EntryKind kind) const override {
        if (kind != EntryKind::File && kind != EntryKind::Folder && kind != EntryKind::Link)
            return false;
        std::string leafHost;
        if (inspect(path, leafHost) != kind)
            return false;
        const std::wstring wide = widen(leafHost);
        if (kind == EntryKind::Link) {
            // The link itself: a folder link goes as a folder, never its target's files.
            const DWORD a = GetFileAttributesW(wide.c_str());
            return a != INVALID_FILE_ATTRIBUTES &&
                   ((a & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(wide.c_str())
                                                   : DeleteFileW(wide.c_str()));
        }
        return kind == EntryKind::Folder ? RemoveDirectoryW(wide.c_str()) : DeleteFileW(wide.c_str());
    }

    bool trashEntry(const std::string& path, EntryKind kind, std::string& where,
                    std::string& error) const override {
        std::string leafHost;
        if ((kind != EntryKind::File && kind != EntryKind::Link) ||
            inspect(path, leafHost) != kind) {
            error = win32::errorText(ERROR_ACCESS_DENIED);
            return false;
        }
        if (!win32::moveToRecycleBin(leafHost, error))
            return false;
        where = "Recycle Bin";
        return true;
    }

    std::string toHostPath(const std::string& path) const override {
        if (drives_.empty() || !isDrivePath(path))
            return path;
        auto it = drives_.find(upperAscii(path[0]));
        if (it == drives_.end())
            return {};
        std::string rest = backslashed(path.substr(2));
        if (rest.empty())
            return it->second;
        if (rest.front() != '\\')
            rest.insert(rest.begin(), '\\');
        if (it->second.back() == '\\')
            rest.erase(rest.begin());
        return it->second + rest;
    }

    std::string fromHostPath(const std::string& hostPath) const override {
        const std::string host = backslashed(hostPath);
        if (drives_.empty())
            return host;
        // The drive whose root is the longest leading part of the path.
        const std::pair<const char, std::string>* best = nullptr;
        for (const auto& item : drives_) {
            const std::string& root = item.second;
            const bool under = host.size() >= root.size() &&
                               equalsNoCase(host.substr(0, root.size()), root) &&
                               (host.size() == root.size() || host[root.size()] == '\\' ||
                                root.back() == '\\');
            if (under && (!best || root.size() > best->second.size()))
                best = &item;
        }
        // Outside every mapped drive a host path keeps its own letter, which
        // toHostPath would take for a mapped one: the extended-length form says
        // it is the host's already.
        if (!best)
            return isDrivePath(host) ? "\\\\?\\" + host : host;
        std::string rest = host.substr(best->second.size());
        if (!rest.empty() && rest.front() != '\\')
            rest.insert(rest.begin(), '\\');
        if (rest == "\\")
            rest.clear();
        return std::string(1, best->first) + ":" + rest;
    }

  private:
    // The new files of earlier writes of `host` that a crash left behind
    // ("<name>.new-<digits>"). A write still under way holds its new file open
    // without sharing, so DeleteFile fails on it and it is kept.
    static void removeStaleNewFiles(const std::string& host) {
        const size_t sep = host.find_last_of("\\/");
        const std::string dir = sep == std::string::npos ? std::string(".") : host.substr(0, sep);
        const std::string prefix = (sep == std::string::npos ? host : host.substr(sep + 1)) + ".new-";
        WIN32_FIND_DATAW data;
        FindHandle search(FindFirstFileExW(widen(dir + "\\" + prefix + "*").c_str(), FindExInfoBasic,
                                           &data, FindExSearchNameMatch, nullptr, 0));
        if (search.get() == INVALID_HANDLE_VALUE)
            return;
        do {
            // Short 8.3 names match the pattern too: check the long name ourselves.
            const std::string name = narrow(data.cFileName);
            if (name.size() <= prefix.size() || !equalsNoCase(name.substr(0, prefix.size()), prefix) ||
                name.find_first_not_of("0123456789", prefix.size()) != std::string::npos)
                continue;
            if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            DeleteFileW(widen(dir + "\\" + name).c_str());
        } while (FindNextFileW(search.get(), &data));
    }

    // The folder with every link resolved, as the system names it, without the
    // \\?\ prefix; empty when it cannot be opened (`missing` tells whether it
    // is not there).
    static std::string finalFolder(const std::string& host, bool& missing) {
        HANDLE h = CreateFileW(widen(host).c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD e = GetLastError();
            missing = e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
            return {};
        }
        FileHandle guard(h);
        std::wstring buffer(MAX_PATH, L'\0');
        for (;;) {
            const DWORD n = GetFinalPathNameByHandleW(h, buffer.data(),
                                                      static_cast<DWORD>(buffer.size()),
                                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
            if (n == 0)
                return {};
            if (n < buffer.size()) {
                buffer.resize(n);
                break;
            }
            buffer.resize(n + 1);
        }
        std::string text = narrow(buffer);
        if (text.rfind("\\\\?\\UNC\\", 0) == 0)
            text = "\\\\" + text.substr(8);
        else if (text.rfind("\\\\?\\", 0) == 0)
            text = text.substr(4);
        return withoutTrailingSeparator(text);
    }

    // What `path` names, and its host path; its folder must lie inside the
    // root of its drive once every link in it is resolved.
    EntryKind inspect(const std::string& path, std::string& leafHost) const {
        if (!isDrivePath(path))
            return EntryKind::Outside;
        const std::string host = withoutTrailingSeparator(toHostPath(path));
        if (host.empty())
            return EntryKind::Outside;
        const size_t sep = host.find_last_of('\\');
        if (sep == std::string::npos || sep + 1 >= host.size())
            return EntryKind::Outside;  // a drive root is nothing to remove
        const std::string leaf = host.substr(sep + 1);
        if (leaf == "." || leaf == "..")
            return EntryKind::Outside;
        std::string rootHost = drives_.empty() ? std::string(1, upperAscii(path[0])) + ":\\"
                                               : drives_.at(upperAscii(path[0]));
        bool missing = false;
        const std::string folder = finalFolder(host.substr(0, sep + 1), missing);
        if (folder.empty())
            return missing ? EntryKind::Missing : EntryKind::Outside;
        bool rootMissing = false;
        const std::string root = finalFolder(rootHost, rootMissing);
        if (root.empty())
            return EntryKind::Outside;
        const bool inside =
            equalsNoCase(folder, root) ||
            (folder.size() > root.size() && equalsNoCase(folder.substr(0, root.size()), root) &&
             (root.back() == '\\' || folder[root.size()] == '\\'));
        if (!inside)
            return EntryKind::Outside;
        leafHost = folder + (folder.back() == '\\' ? "" : "\\") + leaf;
        const DWORD a = GetFileAttributesW(widen(leafHost).c_str());
        if (a == INVALID_FILE_ATTRIBUTES) {
            const DWORD e = GetLastError();
            return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? EntryKind::Missing
                                                                           : EntryKind::Outside;
        }
        if (a & FILE_ATTRIBUTE_REPARSE_POINT)
            return EntryKind::Link;
        return (a & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::Folder : EntryKind::File;
    }

    std::map<char, std::string> drives_;
    std::string programHost_;
    std::string userHost_;
};

}  // namespace

std::shared_ptr<FileSystem> makeFileSystem(std::map<char, std::string> drives,
                                           std::string programHostFolder,
                                           std::string userDataHostFolder) {
    return std::make_shared<Win32FileSystem>(std::move(drives), std::move(programHostFolder),
                                             std::move(userDataHostFolder));
}

std::shared_ptr<FileSystem> hostFileSystem() {
    std::map<char, std::string> drives;
    if (const char* env = std::getenv("VORNAK_DRIVES"); env && *env)
        drives = parseDriveMap(env);
    std::string userData;
    if (const char* local = std::getenv("LOCALAPPDATA"); local && *local)
        userData = std::string(local) + "\\Vornak";
    return makeFileSystem(std::move(drives), {}, std::move(userData));
}

}  // namespace vornak::platform
