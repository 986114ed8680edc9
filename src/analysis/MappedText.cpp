#include "analysis/MappedText.h"

#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vornak::analysis {

std::optional<MappedText> MappedText::open(const platform::FileSystem& fs,
                                           const std::string& path) {
    MappedText result;
#ifndef _WIN32
    const std::string host = fs.toHostPath(path);
    if (!host.empty()) {
        const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            struct stat st {};
            void* mapping = MAP_FAILED;
            if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
                mapping =
                    ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            ::close(fd);
            if (mapping != MAP_FAILED) {
                ::madvise(mapping, static_cast<size_t>(st.st_size), MADV_SEQUENTIAL);
                result.mapping_ = mapping;
                result.mappedSize_ = static_cast<size_t>(st.st_size);
                result.view_ =
                    std::string_view(static_cast<const char*>(mapping), result.mappedSize_);
                return result;
            }
        }
    }
#endif
    // Empty files, and hosts or files without a mapping, are read whole.
    auto bytes = fs.readFile(path);
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
