// The one program of the window tests on Windows. `app_window_tests Class [Qt
// Test arguments]` runs one test class, without a class every one in turn.
// As in the logic tests, the machine roots of this process are moved below a
// scratch key and the per-user data folder is a fresh one, so that nothing a
// test does by mistake reaches the real registry or the user's files.
#include <windows.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "QtTestMain.h"

namespace vornak::test {
namespace {

std::map<std::string, QtTestRun>& programs() {
    static std::map<std::string, QtTestRun> all;
    return all;
}

bool isolateMachineRoots() {
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
                            nullptr) != ERROR_SUCCESS)
            return false;
        const bool moved = RegOverridePredefKey(root, key) == ERROR_SUCCESS;
        RegCloseKey(key);
        if (!moved)
            return false;
    }
    return true;
}

}  // namespace

bool registerQtTest(const char* name, QtTestRun run) {
    programs()[name] = run;
    return true;
}

}  // namespace vornak::test

int main(int argc, char** argv) {
    using namespace vornak::test;
    _putenv_s("LC_ALL", "en_US.UTF-8");
    _putenv_s("LANG", "en_US.UTF-8");
    const auto userData = std::filesystem::temp_directory_path() /
                          ("vornak user data " + std::to_string(GetCurrentProcessId()));
    std::error_code ec;
    std::filesystem::remove_all(userData, ec);
    std::filesystem::create_directories(userData, ec);
    _putenv_s("LOCALAPPDATA", userData.string().c_str());
    if (!isolateMachineRoots()) {
        std::fprintf(stderr, "cannot isolate the registry roots\n");
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    std::setlocale(LC_ALL, "C.UTF-8");

    std::vector<char*> rest{argv[0]};
    std::vector<std::string> chosen;
    if (argc > 1 && argv[1][0] != '-') {
        if (!programs().count(argv[1])) {
            std::fprintf(stderr, "no window test class %s\n", argv[1]);
            return 2;
        }
        chosen.push_back(argv[1]);
        rest.insert(rest.end(), argv + 2, argv + argc);
    } else {
        for (const auto& [name, run] : programs())
            chosen.push_back(name);
        rest.insert(rest.end(), argv + 1, argv + argc);
    }
    // Qt Test sends what it writes to stdout to the debugger instead when the
    // process has no console window, as under Wine: it writes into a file here,
    // copied to stdout afterwards, unless the caller names an output.
    const bool ownOutput = std::none_of(rest.begin(), rest.end(),
                                        [](const char* a) { return std::string(a) == "-o"; });
    const std::string report = (userData / "report.txt").string();
    std::string reportOption = report + ",txt";
    if (ownOutput) {
        rest.push_back(const_cast<char*>("-o"));
        rest.push_back(reportOption.data());
    }
    int failed = 0;
    for (const auto& name : chosen) {
        failed += programs()[name](static_cast<int>(rest.size()), rest.data());
        if (ownOutput) {
            std::ifstream in(report, std::ios::binary);
            std::cout << in.rdbuf() << std::flush;
        }
    }
    std::filesystem::remove_all(userData, ec);
    return failed == 0 ? 0 : 1;
}
