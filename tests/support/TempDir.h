// A fresh folder per test, removed afterwards. Its path holds a space, so code
// that splits or quotes paths carelessly fails here first.
#pragma once

#include <filesystem>
#include <string>

namespace vornak::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // Creates (or replaces) a file below the folder, making parent folders.
    std::filesystem::path write(const std::string& relative, const std::string& bytes) const;
    std::string read(const std::string& relative) const;

private:
    std::filesystem::path path_;
};

}  // namespace vornak::test
