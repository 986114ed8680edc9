// Bounded whole-file reads on POSIX hosts.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/BoundedRead.h"

namespace vornak::platform {
namespace {

void setError(std::string* error, std::string text) {
    if (error)
        *error = std::move(text);
}

}  // namespace

int openBoundedFile(const std::string& hostPath, const ReadLimit& limit, uint64_t& size,
                    std::string* error) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come;
    // what is opened is then asked what it is, so nothing can be swapped in
    // between looking and reading.
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        setError(error, "cannot open " + hostPath + ": " + std::strerror(errno));
        return -1;
    }
    struct stat st {};
    std::string why;
    if (::fstat(fd, &st) != 0)
        why = "cannot read " + hostPath + ": " + std::strerror(errno);
    else if (S_ISDIR(st.st_mode))
        why = refusedAsFolder(hostPath, limit);
    else if (!S_ISREG(st.st_mode))
        why = refusedAsNotRegular(hostPath, limit);
    else if (static_cast<uint64_t>(st.st_size) > limit.maxBytes)
        why = refusedAsTooLarge(hostPath, limit);
    if (!why.empty()) {
        ::close(fd);
        setError(error, std::move(why));
        return -1;
    }
    // A regular file never blocks; the flag only mattered for opening.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    size = static_cast<uint64_t>(st.st_size);
    return fd;
}

std::optional<std::string> readBoundedFile(const std::string& hostPath, const ReadLimit& limit,
                                           std::string* error) {
    return readBoundedFileStart(hostPath, limit, UINT64_MAX, error);
}

std::optional<std::string> readBoundedFileStart(const std::string& hostPath, const ReadLimit& limit,
                                                uint64_t count, std::string* error) {
    uint64_t size = 0;
    const int fd = openBoundedFile(hostPath, limit, size, error);
    if (fd < 0)
        return std::nullopt;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    std::string bytes(static_cast<size_t>(std::min(size, count)), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            setError(error, "cannot read " + hostPath + ": " + std::strerror(errno));
            return std::nullopt;
        }
        if (n == 0)
            break;  // it has shrunk meanwhile
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

}  // namespace vornak::platform
