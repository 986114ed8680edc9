// Test entry: fixes the locale so collation results do not depend on the machine,
// and gives the programs the tests run a per-user data folder of their own, so
// nothing a test does reaches the real user's files.
// On Windows the machine roots of this process are moved below a scratch key,
// so that a test that reaches the real registry by mistake writes nothing real.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include <string>

namespace {

void setEnvironment(const char* name, const char* value) { _putenv_s(name, value); }

std::string makeUserDataFolder() {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("vornak user data " + std::to_string(GetCurrentProcessId()));
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return std::filesystem::create_directory(folder, ec) ? folder.string() : std::string();
}

void isolateMachineRoots() {
    const std::wstring scratch =
        L"Software\\Vornak\\Test scratch\\" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    const std::pair<HKEY, const wchar_t*> roots[] = {{HKEY_LOCAL_MACHINE, L"HKLM"},
                                                     {HKEY_CLASSES_ROOT, L"HKCR"},
                                                     {HKEY_USERS, L"HKU"},
                                                     {HKEY_CURRENT_CONFIG, L"HKCC"}};
    for (const auto& [root, name] : roots) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, (scratch + name).c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS ||
            RegOverridePredefKey(root, key) != ERROR_SUCCESS) {
            std::fprintf(stderr, "cannot isolate the registry roots\n");
            std::exit(2);
        }
        RegCloseKey(key);
    }
}

}  // namespace
#else
namespace {
void setEnvironment(const char* name, const char* value) { setenv(name, value, 1); }
std::string makeUserDataFolder() {
    std::string folder =
        (std::filesystem::temp_directory_path() / "vornak user data XXXXXX").string();
    return mkdtemp(folder.data()) ? folder : std::string();
}
void isolateMachineRoots() {}
}  // namespace
#endif

int main(int argc, char** argv) {
    setEnvironment("LC_ALL", "en_US.UTF-8");
    setEnvironment("LANG", "en_US.UTF-8");
    const std::string userData = makeUserDataFolder();
    if (userData.empty())
        return 2;
#ifdef _WIN32
    setEnvironment("LOCALAPPDATA", userData.c_str());
#else
    setEnvironment("XDG_DATA_HOME", userData.c_str());
#endif
    std::setlocale(LC_ALL, "C.UTF-8");
    isolateMachineRoots();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(userData, ignored);
    return result;
}
