// The shell off Windows: web addresses go to the desktop's URL opener, help to
// the HTML page that ships beside the program in place of the WinHelp file.
#pragma once

#include "platform/Shell.h"

namespace vornak::services {

class DesktopShell : public platform::Shell {
  public:
    void openWebAddress(const std::string& address) override;
    void showHelpContext(const std::string& helpFile, int context) override;
};

}  // namespace vornak::services
