// Process launcher on kernel32: CreateProcess finds the program in the command
// line by its own rules; the process gets a group of its own at idle priority
// and none of our handles.
#include "platform/ProcessLauncher.h"
#include "platform/win32/WideText.h"

namespace vornak::platform {
namespace {

class Win32Process final : public StartedProcess {
  public:
    Win32Process(HANDLE process, DWORD id) : process_(process), id_(id) {}
    ~Win32Process() override { close(); }

    void wait() override {
        if (process_)
            WaitForSingleObject(process_, INFINITE);
    }

    void close() override {
        if (process_)
            CloseHandle(process_);
        process_ = nullptr;
    }

    long id() const override { return static_cast<long>(id_); }

  private:
    HANDLE process_;
    DWORD id_;
};

class Win32ProcessLauncher final : public ProcessLauncher {
  public:
    std::unique_ptr<StartedProcess> start(const std::string& commandLine,
                                          std::string* error) override {
        // CreateProcessW may write into the line it is given.
        std::wstring line = win32::widen(commandLine);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        if (line.empty() ||
            !CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                            CREATE_NEW_PROCESS_GROUP | IDLE_PRIORITY_CLASS, nullptr, nullptr,
                            &startup, &info)) {
            // The system's sentence with its full stop, as the POSIX launcher words it.
            if (error)
                *error =
                    win32::errorText(line.empty() ? ERROR_FILE_NOT_FOUND : GetLastError()) + ".";
            return nullptr;
        }
        CloseHandle(info.hThread);
        return std::make_unique<Win32Process>(info.hProcess, info.dwProcessId);
    }
};

}  // namespace

std::shared_ptr<ProcessLauncher> hostProcessLauncher() {
    return std::make_shared<Win32ProcessLauncher>();
}

}  // namespace vornak::platform
