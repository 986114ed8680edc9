// What the program asks of the desktop shell: open a web address in the user's
// browser, show a topic of the program's help. Windows: ShellExecuteW.
// Elsewhere: the desktop's URL opener. The help is an HTML page beside the
// program on both (WinHelp is gone from Windows).
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace vornak::platform {

class Shell {
  public:
    virtual ~Shell() = default;
    // Hands `address` to the browser. False when nothing would take it (no
    // browser on this desktop), so the user can be told where to go by hand.
    virtual bool openWebAddress(const std::string& address) = 0;
    // Shows help context `context` of `helpFile`; a name without a folder lies
    // beside the program. The file is not checked: the help system reports it.
    // False when nothing would show it.
    virtual bool showHelpContext(const std::string& helpFile, int context) = 0;
    // Where the help of `helpFile` is, as the user would open it by hand.
    virtual std::string helpLocation(const std::string& helpFile) const = 0;
};

// The shell the program uses: the main block sets the desktop's, tests set one
// that records. Null until set.
std::shared_ptr<Shell> defaultShell();
void setDefaultShell(std::shared_ptr<Shell> shell);

// The HTML page that stands in for `helpFile`: its extension becomes ".html",
// and a name without a folder lies in `programHostFolder`. Either slash is read
// as a separator; the page is written with `separator`.
std::string helpPageFor(const std::string& helpFile, const std::string& programHostFolder,
                        char separator);

#ifdef _WIN32
// Windows' own shell (ShellExecuteW); the help is the HTML page that stands in
// for `helpFile`, beside the program in `programHostFolder` when it names no folder.
// `owner` gives the window (an HWND) that owns what the shell shows; null for none.
std::shared_ptr<Shell> makeWindowsShell(std::string programHostFolder,
                                        std::function<void*()> owner = {});
// What that shell opens for help context `context`: the page itself for the
// contents (1), otherwise its file address with the topic's anchor.
std::string windowsHelpTarget(const std::string& helpFile, int context,
                              const std::string& programHostFolder);
#endif

}  // namespace vornak::platform
