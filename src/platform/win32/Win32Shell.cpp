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
    Win32Shell(std::string programHostFolder, std::function<void*()> owner)
        : programHost_(std::move(programHostFolder)), owner_(std::move(owner)) {}

    bool openWebAddress(const std::string& address) override { return open(address); }

    bool showHelpContext(const std::string& helpFile, int context) override {
        if (helpFile.empty())
            throw std::runtime_error("This program has no help file.");
        return open(windowsHelpTarget(helpFile, context, programHost_));
    }

    std::string helpLocation(const std::string& helpFile) const override {
        return helpPageFor(helpFile, programHost_, '\\');
    }

  private:
    bool open(const std::string& target) const {
        const HWND owner = owner_ ? static_cast<HWND>(owner_()) : nullptr;
        const HINSTANCE result = ShellExecuteW(owner, L"open", win32::widen(target).c_str(),
                                               nullptr, nullptr, SW_SHOWNORMAL);
        // Values up to 32 are error codes (no program for the address, for one).
        return reinterpret_cast<INT_PTR>(result) > 32;
    }

    std::string programHost_;
    std::function<void*()> owner_;
};

}  // namespace

std::shared_ptr<Shell> makeWindowsShell(std::string programHostFolder,
                                        std::function<void*()> owner) {
    return std::make_shared<Win32Shell>(std::move(programHostFolder), std::move(owner));
}

}  // namespace vornak::platform
