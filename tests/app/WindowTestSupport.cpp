#include "WindowTestSupport.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <QAction>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/MainWindow.h"
#include "language/LanguageFile.h"
#include "platform/FileSystem.h"

namespace vornak::test {
namespace {

using namespace platform;
const char* const kSettingsPath = "SOFTWARE\\Vornak\\Uninstaller";
const char* const kUninstallPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::filesystem::path shippedLangDir() {
    if (const char* dir = std::getenv("VORNAK_PROGRAM_DIR"); dir && *dir)
        return std::filesystem::path(dir) / "lang";
    return std::filesystem::path(VORNAK_SOURCE_LANG_DIR);
}

std::string readWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

ProgramFixture::ProgramFixture() {
    driveC = tmp.str() + "/drive c";
    programHost = driveC + "/Program Files/Vornak Uninstaller";
    std::filesystem::create_directories(programHost + "/lang");
    for (const auto& entry : std::filesystem::directory_iterator(shippedLangDir()))
        std::filesystem::copy_file(entry.path(),
                                   programHost + "/lang/" + entry.path().filename().string());
    qputenv("VORNAK_REGISTRY_DIR", QByteArray::fromStdString(tmp.str() + "/registry"));
    store = openRegistryStore(tmp.str() + "/registry");
    setDefaultRegistryStore(store);
    userDataHost = tmp.str() + "/user data/vornak";
    setDefaultFileSystem(makeFileSystem({{'C', driveC}}, programHost, userDataHost));
}

ProgramFixture::~ProgramFixture() {
    setDefaultRegistryStore(nullptr);
    setDefaultFileSystem(nullptr);
}

void ProgramFixture::setSetting(const std::string& name, const std::string& text) {
    auto acc = store->accessor();
    std::unique_ptr<RegKey> key;
    QCOMPARE(acc->createKey(RegRoot::LocalMachine, kSettingsPath, RegAccess::Full, key),
             RegStatus::Ok);
    QCOMPARE(acc->setValue(*key, name, kRegSz, text + std::string(1, '\0')), RegStatus::Ok);
}

void ProgramFixture::setSettingFlag(const std::string& name, uint32_t value) {
    auto acc = store->accessor();
    std::unique_ptr<RegKey> key;
    QCOMPARE(acc->createKey(RegRoot::LocalMachine, kSettingsPath, RegAccess::Full, key),
             RegStatus::Ok);
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    QCOMPARE(acc->setValue(*key, name, kRegDword, bytes), RegStatus::Ok);
}

std::optional<std::string> ProgramFixture::settingText(const std::string& name) {
    auto acc = store->accessor();
    std::unique_ptr<RegKey> key;
    if (acc->openKey(RegRoot::LocalMachine, kSettingsPath, RegAccess::Read, key) != RegStatus::Ok)
        return std::nullopt;
    RegValue value;
    if (acc->queryValue(*key, name, value) != RegStatus::Ok || value.type != kRegSz)
        return std::nullopt;
    std::string text = value.data;
    if (auto nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    return text;
}

std::optional<uint32_t> ProgramFixture::settingFlag(const std::string& name) {
    auto acc = store->accessor();
    std::unique_ptr<RegKey> key;
    if (acc->openKey(RegRoot::LocalMachine, kSettingsPath, RegAccess::Read, key) != RegStatus::Ok)
        return std::nullopt;
    RegValue value;
    if (acc->queryValue(*key, name, value) != RegStatus::Ok || value.type != kRegDword ||
        value.data.size() != 4)
        return std::nullopt;
    uint32_t n = 0;
    for (int i = 3; i >= 0; --i)
        n = (n << 8) | static_cast<unsigned char>(value.data[i]);
    return n;
}

bool ProgramFixture::settingsKeyExists() {
    auto acc = store->accessor();
    std::unique_ptr<RegKey> key;
    return acc->openKey(RegRoot::LocalMachine, kSettingsPath, RegAccess::Read, key) ==
           RegStatus::Ok;
}

void ProgramFixture::addRegistration(RegRoot root, const std::string& keyName,
                                     const std::string& displayName,
                                     const std::string& uninstallString) {
    auto acc = store->accessor();
    std::unique_ptr<RegKey> key;
    QCOMPARE(
        acc->createKey(root, std::string(kUninstallPath) + "\\" + keyName, RegAccess::Full, key),
        RegStatus::Ok);
    QCOMPARE(acc->setValue(*key, "DisplayName", kRegSz, displayName + std::string(1, '\0')),
             RegStatus::Ok);
    QCOMPARE(acc->setValue(*key, "UninstallString", kRegSz, uninstallString + std::string(1, '\0')),
             RegStatus::Ok);
}

std::string ProgramFixture::addProgramFile(const std::string& relative) {
    const std::filesystem::path host = std::filesystem::path(driveC) / relative;
    std::filesystem::create_directories(host.parent_path());
    std::ofstream(host) << "MZ";
    std::string windowsPath = "C:\\" + relative;
    for (char& c : windowsPath)
        if (c == '/')
            c = '\\';
    return windowsPath;
}

void ProgramFixture::writeLanguage(const std::string& name, const std::string& bytes) {
    std::ofstream out(programHost + "/lang/" + name + ".lng", std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> ProgramFixture::shippedLines(const std::string& name) const {
    return readLanguageLines(readWhole(shippedLangDir() / (name + ".lng")));
}

void ProgramFixture::protectMachineStore() {
#ifdef _WIN32
    QFAIL("the Windows registry store has no read-only form");
#else
    // Make sure machine.db exists, then reopen the store over a read-only file.
    setSettingFlag("probe", 1);
    store.reset();
    setDefaultRegistryStore(nullptr);
    const std::string machine = tmp.str() + "/registry/machine.db";
    QCOMPARE(chmod(machine.c_str(), 0444), 0);
    store = openRegistryStore(tmp.str() + "/registry");
    setDefaultRegistryStore(store);
#endif
}

void triggerAction(QWidget* window, const char* name) {
    auto* action = window->findChild<QAction*>(QString::fromLatin1(name));
    QVERIFY2(action, name);
    QVERIFY2(action->isEnabled(), name);
    action->trigger();
}

void startUp(app::TForm1& form) {
    form.show();
    QTRY_VERIFY(form.startupDone());
}

}  // namespace vornak::test
