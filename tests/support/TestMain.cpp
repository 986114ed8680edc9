// Test entry: fixes the locale so collation results do not depend on the machine,
// and gives the programs the tests run a per-user data folder of their own, so
// nothing a test does reaches the real user's files.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    setenv("LC_ALL", "en_US.UTF-8", 1);
    setenv("LANG", "en_US.UTF-8", 1);
    std::string userData =
        (std::filesystem::temp_directory_path() / "vornak user data XXXXXX").string();
    if (!mkdtemp(userData.data()))
        return 2;
    setenv("XDG_DATA_HOME", userData.c_str(), 1);
    std::setlocale(LC_ALL, "C.UTF-8");
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(userData, ignored);
    return result;
}
