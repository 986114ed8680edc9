#include "platform/BoundedRead.h"

namespace vornak::platform {
namespace {

std::string sizeText(uint64_t bytes) {
    if (bytes >= (uint64_t{1} << 30) && bytes % (uint64_t{1} << 30) == 0)
        return std::to_string(bytes >> 30) + " GB";
    if (bytes >= (uint64_t{1} << 20))
        return std::to_string(bytes >> 20) + " MB";
    return std::to_string(bytes) + " bytes";
}

}  // namespace

std::string refusedAsFolder(const std::string& hostPath, const ReadLimit& limit) {
    return hostPath + " is a folder, not a " + limit.what;
}

std::string refusedAsNotRegular(const std::string& hostPath, const ReadLimit& limit) {
    return hostPath + " is not a regular file (a pipe or a device), so not a " + limit.what +
           "; it was not read";
}

std::string refusedAsTooLarge(const std::string& hostPath, const ReadLimit& limit) {
    return hostPath + " is larger than any " + limit.what + " (more than " +
           sizeText(limit.maxBytes) + "); it was not read";
}

}  // namespace vornak::platform
