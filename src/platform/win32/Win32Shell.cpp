// The desktop shell on Windows: ShellExecuteW for web addresses and for the
// help. WinHelp is gone from Windows 10, so the help is the HTML page shipped
// beside the program, as off Windows.
// clang-format off
#include "platform/win32/WideText.h"  // windows.h, which shellapi.h needs first
#include <shellapi.h>
// clang-format on

#include <stdexcept>

#include "platform/Shell.h"

namespace vornak::platform {

std::string windowsHelpTarget(const std::string& helpFile, int context,
                              const std::string& programHostFolder) {
    const std::string page = helpPageFor(helpFile, programHostFolder, '\\');
    if (context == 1)
        return page;
    // A file name cannot carry the topic's anchor; a file address can.
    std::string address = "file:///";
    for (char c : page)
        address += c == '\\' ? '/' : c;
    return address + "#context-" + std::to_string(context);
}

namespace {

class Win32Shell final : public Shell {
  public:
    Win32Shell(std::string programHostFolder, std::function<void*()> ownerWindow)
        : programHost_(std::move(programHostFolder)), owner_(std::move(ownerWindow)) {}

    void openWebAddress(const std::string& address) override { open(address); }

    void showHelpContext(const std::string& helpFile, int context) override {
        if (helpFile.empty())
            throw std::runtime_error("This program has no help file.");
        open(windowsHelpTarget(helpFile, context, programHost_));
    }

  private:
    // Whether it opened is the shell's to report: it shows its own message,
    // owned by our window so that it stays in front of it.
    void open(const std::string& target) {
        const HWND owner = owner_ ? static_cast<HWND>(owner_()) : nullptr;
        ShellExecuteW(owner, L"open", win32::widen(target).c_str(), nullptr, nullptr,
                      SW_SHOWNORMAL);
    }

    std::string programHost_;
    std::function<void*()> owner_;
};

}  // namespace

std::shared_ptr<Shell> makeWindowsShell(std::string programHostFolder,
                                        std::function<void*()> ownerWindow) {
    return std::make_shared<Win32Shell>(std::move(programHostFolder), std::move(ownerWindow));
}

}  // namespace vornak::platform
