// Bounded whole-file reads on Windows.
#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "platform/BoundedRead.h"
#include "platform/win32/WideText.h"

namespace vornak::platform {

std::optional<std::string> readBoundedFile(const std::string& hostPath, const ReadLimit& limit,
                                           std::string* error) {
    return readBoundedFileStart(hostPath, limit, UINT64_MAX, error);
}

std::optional<std::string> readBoundedFileStart(const std::string& hostPath, const ReadLimit& limit,
                                                uint64_t count, std::string* error) {
    auto fail = [&](std::string why) -> std::optional<std::string> {
        if (error)
            *error = std::move(why);
        return std::nullopt;
    };
    // Opened once and then asked what it is: a device (CON, a pipe) could wait
    // for input for ever, and a file's name can be swapped between looking and
    // reading.
    HANDLE h =
        CreateFileW(win32::widen(hostPath).c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return fail("cannot open " + hostPath + ": " + win32::errorText(GetLastError()));
    struct Closer {
        HANDLE h;
        ~Closer() { CloseHandle(h); }
    } closer{h};
    BY_HANDLE_FILE_INFORMATION info{};
    const bool disk = GetFileType(h) == FILE_TYPE_DISK;
    if (disk && !GetFileInformationByHandle(h, &info))
        return fail("cannot read " + hostPath + ": " + win32::errorText(GetLastError()));
    if (disk && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return fail(refusedAsFolder(hostPath, limit));
    if (!disk)
        return fail(refusedAsNotRegular(hostPath, limit));
    const uint64_t size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    if (size > limit.maxBytes)
        return fail(refusedAsTooLarge(hostPath, limit));
    std::string bytes(static_cast<size_t>(std::min(size, count)), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD n = 0;
        if (!ReadFile(h, bytes.data() + done, chunk, &n, nullptr))
            return fail("cannot read " + hostPath + ": " + win32::errorText(GetLastError()));
        if (n == 0)
            break;  // it has shrunk meanwhile
        done += n;
    }
    bytes.resize(done);
    return bytes;
}

}  // namespace vornak::platform
