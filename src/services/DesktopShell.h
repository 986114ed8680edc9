// The shell off Windows: web addresses go to the desktop's URL opener, help to
// the HTML page that ships beside the program in place of the WinHelp file.
#pragma once

#include "platform/Shell.h"

namespace vornak::services {

class DesktopShell : public platform::Shell {
  public:
    bool openWebAddress(const std::string& address) override;
    bool showHelpContext(const std::string& helpFile, int context) override;
    std::string helpLocation(const std::string& helpFile) const override;
};

}  // namespace vornak::services
