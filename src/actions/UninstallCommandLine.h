// The command line a registration's uninstall runs with: the registration's
// own command, except where a Wine prefix would not uninstall with it.
#pragma once

#include <string>

namespace vornak {

struct UninstallEntry;

namespace actions {

// The row's command as it stands, but in a Wine prefix a Windows Installer
// registration (WindowsInstaller = 1) runs as "MsiExec.exe /X{product}", as
// Wine's own uninstaller runs it: the "MsiExec.exe /I{product}" that Wine's
// msiexec registers opens the maintenance dialog on Windows, where the user
// chooses Remove, but under Wine it silently repairs the product instead.
std::string commandToRun(const UninstallEntry& row);

// The product code "{...}" of a Windows Installer registration: its key name
// when that is one, else the one its command names after /I or /X; empty when
// neither is.
std::string msiProductCode(const std::string& keyName, const std::string& command);

}  // namespace actions
}  // namespace vornak
