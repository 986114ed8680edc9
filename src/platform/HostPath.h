// Paths for std::filesystem and the file streams, made from the program's UTF-8
// text so that names outside every 8-bit code page work on Windows too (where a
// narrow std::filesystem::path is read in another encoding).
#pragma once

#include <filesystem>
#include <string>

namespace vornak::platform {

inline std::filesystem::path hostPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string pathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace vornak::platform
