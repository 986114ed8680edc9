// What the program asks of the desktop shell: open a web address in the user's
// browser, show a topic of the program's help. Windows: ShellExecuteW and
// WinHelp. Elsewhere: the desktop's URL opener and an HTML page beside the program.
#pragma once

#include <memory>
#include <string>

namespace vornak::platform {

class Shell {
  public:
    virtual ~Shell() = default;
    // Hands `address` to the browser. Whether it opened is not reported.
    virtual void openWebAddress(const std::string& address) = 0;
    // Shows help context `context` of `helpFile`; a name without a folder lies
    // beside the program. The file is not checked: the help system reports it.
    virtual void showHelpContext(const std::string& helpFile, int context) = 0;
};

// The shell the program uses: the main block sets the desktop's, tests set one
// that records. Null until set.
std::shared_ptr<Shell> defaultShell();
void setDefaultShell(std::shared_ptr<Shell> shell);

}  // namespace vornak::platform
