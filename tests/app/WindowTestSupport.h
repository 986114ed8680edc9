// What the window tests share: a program installation in a temporary folder
// (registry store, drive C, program folder with the shipped lang/ files), set
// as the program's defaults; helpers to fire commands the way a user does.
#pragma once

#include <QtTest>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/RegistryStore.h"
#include "support/TempDir.h"

class QWidget;

namespace vornak::app {
class TForm1;
}

namespace vornak::test {

class ProgramFixture {
  public:
    ProgramFixture();
    ~ProgramFixture();
    ProgramFixture(const ProgramFixture&) = delete;
    ProgramFixture& operator=(const ProgramFixture&) = delete;

    // Values under the settings key (HKEY_LOCAL_MACHINE\SOFTWARE\Vornak\Uninstaller).
    void setSetting(const std::string& name, const std::string& text);
    void setSettingFlag(const std::string& name, uint32_t value);
    std::optional<std::string> settingText(const std::string& name);
    std::optional<uint32_t> settingFlag(const std::string& name);
    bool settingsKeyExists();

    // A registration under the uninstall key of `root`.
    void addRegistration(platform::RegRoot root, const std::string& keyName,
                         const std::string& displayName, const std::string& uninstallString);
    // A program file on drive C, so that an uninstall command naming it is ordinary.
    std::string addProgramFile(const std::string& relative);

    // lang/<name>.lng in the program folder.
    void writeLanguage(const std::string& name, const std::string& bytes);
    // The text lines of a shipped language file (comments removed).
    std::vector<std::string> shippedLines(const std::string& name) const;

    // Makes machine.db read-only, as a limited user finds it.
    void protectMachineStore();

    TempDir tmp;
    std::string driveC;
    std::string programHost;  // the program folder, where lang/ and hidden.dat lie
    std::string userDataHost;  // the per-user data folder, made when first written
    std::shared_ptr<platform::RegistryStore> store;
};

// Asserts that the window has an action of that objectName and that it is
// enabled, then triggers it. Check QTest::currentTestFailed() afterwards.
void triggerAction(QWidget* window, const char* name);

// Shows the main window and waits for the end of its first activation.
void startUp(app::TForm1& form);

}  // namespace vornak::test
