#include "analysis/SnapshotWriter.h"

#include <cerrno>
#include <cstring>
#include <random>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vornak::analysis {

SnapshotWriter::SnapshotWriter(const platform::FileSystem& fs, std::string path,
                               std::string runId)
    : fs_(fs), path_(std::move(path)), runId_(std::move(runId)) {
#ifndef _WIN32
    // Only where the target is an ordinary file or none, in a folder we may
    // write; anything else is left to writeFile and its checks and messages.
    const std::string host = fs_.toHostPath(path_);
    const size_t slash = host.rfind('/');
    struct stat st {};
    const bool existing = !host.empty() && ::stat(host.c_str(), &st) == 0;
    if (host.empty() || slash == std::string::npos ||
        (existing && (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0)) ||
        !fs_.canWriteDirectory(fs_.fromHostPath(host.substr(0, slash ? slash : 1))))
        return;
    std::random_device random;
    for (int attempt = 0; attempt < 20 && fd_ < 0; ++attempt) {
        hostTemp_ = host + ".new-" + std::to_string(random());
        fd_ = ::open(hostTemp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    direct_ = fd_ >= 0;
    if (direct_)
        buffer_.reserve(kFlushAt + (kFlushAt >> 2));
#endif
}

SnapshotWriter::~SnapshotWriter() {
#ifndef _WIN32
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(hostTemp_.c_str());
    }
#endif
}

void SnapshotWriter::fail(const std::string& why) {
    if (error_.empty())
        error_ = why;
}

void SnapshotWriter::flush() {
    if (!direct_)
        return;  // kept whole for writeFile
#ifndef _WIN32
    size_t done = 0;
    while (error_.empty() && done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(std::strerror(errno));
        else
            done += static_cast<size_t>(n);
    }
#endif
    buffer_.clear();
}

bool SnapshotWriter::finish(std::string* error) {
    buffer_.append(sealLine(hasher_, runId_));
    if (!direct_) {
        const bool ok = fs_.writeFile(path_, buffer_, error);
        buffer_.clear();
        buffer_.shrink_to_fit();
        return ok;
    }
#ifndef _WIN32
    flush();
    if (error_.empty() && ::fsync(fd_) != 0)
        fail(std::strerror(errno));
    if (::close(fd_) != 0)
        fail(std::strerror(errno));
    fd_ = -1;
    if (error_.empty() && ::rename(hostTemp_.c_str(), fs_.toHostPath(path_).c_str()) != 0)
        fail(std::strerror(errno));
    if (!error_.empty())
        ::unlink(hostTemp_.c_str());
#endif
    if (error && !error_.empty())
        *error = error_;
    return error_.empty();
}

}  // namespace vornak::analysis
