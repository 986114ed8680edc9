#include "analysis/MappedText.h"

#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vornak::analysis {

std::optional<MappedText> MappedText::open(const platform::FileSystem& fs, const std::string& path,
                                           std::string* error) {
    MappedText result;
#ifndef _WIN32
    const std::string host = fs.toHostPath(path);
    if (!host.empty()) {
        uint64_t size = 0;
        const int fd =
            platform::openBoundedFile(host, platform::readLimits::kSnapshot, size, error);
        if (fd < 0)
            return std::nullopt;
        void* mapping = MAP_FAILED;
        if (size > 0)
            mapping = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0);
        ::close(fd);
        if (mapping != MAP_FAILED) {
            ::madvise(mapping, static_cast<size_t>(size), MADV_SEQUENTIAL);
            result.mapping_ = mapping;
            result.mappedSize_ = static_cast<size_t>(size);
            result.view_ = std::string_view(static_cast<const char*>(mapping), result.mappedSize_);
            return result;
        }
    }
#endif
    // Empty files, and hosts or files without a mapping, are read whole.
    auto bytes = fs.readFile(path, platform::readLimits::kSnapshot, error);
    if (!bytes)
        return std::nullopt;
    result.copy_ = std::move(*bytes);
    result.view_ = result.copy_;
    return result;
}

MappedText::MappedText(MappedText&& other) noexcept {
    *this = std::move(other);
}

MappedText& MappedText::operator=(MappedText&& other) noexcept {
    if (this != &other) {
        release();
        mapping_ = std::exchange(other.mapping_, nullptr);
        mappedSize_ = std::exchange(other.mappedSize_, 0);
        copy_ = std::move(other.copy_);
        view_ = mapping_ ? std::exchange(other.view_, {}) : std::string_view(copy_);
        other.view_ = {};
    }
    return *this;
}

MappedText::~MappedText() {
    release();
}

void MappedText::release() {
#ifndef _WIN32
    if (mapping_)
        ::munmap(mapping_, mappedSize_);
#endif
    mapping_ = nullptr;
    mappedSize_ = 0;
}

}  // namespace vornak::analysis
