#include "platform/posix/FreedesktopTrash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vornak::platform {
namespace {

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

std::string folderPathOf(int fd) {
    char buf[PATH_MAX];
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(self.c_str(), buf, sizeof buf);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buf || buf[0] != '/')
        return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string parentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// A folder of ours, made when missing; never a link or someone else's.
bool ownFolder(const std::string& path, bool create) {
    if (create && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

bool makeFoldersTo(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    if (path != "/" && !makeFoldersTo(parentOf(path)))
        return false;
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

// The user's own trash folder: below the data home, which defaults to ~/.local/share.
std::string homeTrash() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return std::string(data) + "/Trash";
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/')
        return {};
    return std::string(home) + "/.local/share/Trash";
}

// The trash for files of the device `device`, whose folder `folder` is there.
std::string trashFor(dev_t device, const std::string& folder, std::string& error) {
    const std::string home = homeTrash();
    if (!home.empty() && makeFoldersTo(parentOf(home))) {
        struct stat st {};
        if (::stat(parentOf(home).c_str(), &st) == 0 && st.st_dev == device) {
            if (ownFolder(home, true))
                return home;
            error = home + " is not a trash folder of this user";
            return {};
        }
    }
    // Elsewhere: the top folder of the mount the file is on.
    std::string top = folder;
    while (top != "/") {
        struct stat st {};
        if (::stat(parentOf(top).c_str(), &st) != 0 || st.st_dev != device)
            break;
        top = parentOf(top);
    }
    const std::string trash = (top == "/" ? "" : top) + "/.Trash-" + std::to_string(::geteuid());
    if (ownFolder(trash, true))
        return trash;
    error = "no trash on the file system of " + folder + " (" + trash + ": " +
            std::strerror(errno) + ")";
    return {};
}

std::string urlEncoded(const std::string& path) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '/' || c == '-' || c == '_' || c == '.' ||
                           c == '~';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kDigits[c >> 4];
            out += kDigits[c & 15];
        }
    }
    return out;
}

}  // namespace

std::string trashInfoText(const std::string& path, std::time_t deleted) {
    std::tm t{};
    localtime_r(&deleted, &t);
    char date[64];
    std::snprintf(date, sizeof date, "%04d-%02d-%02dT%02d:%02d:%02d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return "[Trash Info]\nPath=" + urlEncoded(path) + "\nDeletionDate=" + date + "\n";
}

bool moveToTrash(int folderFd, const std::string& leaf, std::string& where, std::string& error) {
    const std::string folder = folderPathOf(folderFd);
    struct stat st {};
    if (folder.empty() || ::fstat(folderFd, &st) != 0) {
        error = std::strerror(errno ? errno : ENOENT);
        return false;
    }
    const std::string trash = trashFor(st.st_dev, folder, error);
    if (trash.empty())
        return false;
    const std::string files = trash + "/files", info = trash + "/info";
    if (!ownFolder(files, true) || !ownFolder(info, true)) {
        error = trash + ": " + std::strerror(errno);
        return false;
    }
    // The info file is made first and alone: its name is the trash's claim on
    // the name in files/, which another program may be after at the same time.
    const std::string text =
        trashInfoText(folder == "/" ? "/" + leaf : folder + "/" + leaf, std::time(nullptr));
    for (int n = 1; n < 10000; ++n) {
        const std::string name = n == 1 ? leaf : leaf + "." + std::to_string(n);
        const std::string infoPath = info + "/" + name + ".trashinfo";
        Fd fd(::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (fd.get() < 0) {
            if (errno == EEXIST)
                continue;
            error = infoPath + ": " + std::strerror(errno);
            return false;
        }
        struct stat taken {};
        if (::lstat((files + "/" + name).c_str(), &taken) == 0) {
            ::unlink(infoPath.c_str());  // a file of an older trash without its info
            continue;
        }
        if (::write(fd.get(), text.data(), text.size()) != static_cast<ssize_t>(text.size()) ||
            ::fsync(fd.get()) != 0) {
            error = infoPath + ": " + std::strerror(errno);
            ::unlink(infoPath.c_str());
            return false;
        }
        Fd filesFd(::open(files.c_str(), O_DIRECTORY | O_CLOEXEC | O_RDONLY));
        if (filesFd.get() < 0 ||
            ::renameat(folderFd, leaf.c_str(), filesFd.get(), name.c_str()) != 0) {
            error = std::strerror(errno);
            ::unlink(infoPath.c_str());
            return false;
        }
        where = trash;
        return true;
    }
    error = std::strerror(EEXIST);
    return false;
}

}  // namespace vornak::platform
