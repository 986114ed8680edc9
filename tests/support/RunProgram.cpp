#include "support/RunProgram.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "support/TempDir.h"

namespace vornak::test {

#ifdef _WIN32
namespace {

std::wstring wide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// One argument of a command line, quoted by the rules the C runtime splits by.
void appendArgument(std::wstring& line, const std::wstring& arg) {
    if (!line.empty())
        line += L' ';
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

HANDLE inheritable(const std::string& path, bool write) {
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    return CreateFileW(wide(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env,
                         const std::string& stdinFile, int patienceSeconds) {
    TempDir outputs;
    const std::string outFile = outputs.str() + "/out", errFile = outputs.str() + "/err";

    // Variable names are case-insensitive on Windows.
    auto upper = [](std::wstring s) {
        for (wchar_t& c : s)
            c = static_cast<wchar_t>(towupper(c));
        return s;
    };
    std::map<std::wstring, std::wstring> merged;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* e = block; *e; e += wcslen(e) + 1) {
            const std::wstring entry = e;
            const size_t eq = entry.find(L'=', 1);
            if (eq != std::wstring::npos)
                merged[upper(entry.substr(0, eq))] = entry;
        }
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [k, v] : env)
        merged[upper(wide(k))] = wide(k + "=" + v);
    std::wstring environment;
    for (const auto& [k, entry] : merged)
        environment += entry + L'\0';
    environment += L'\0';

    std::wstring commandLine;
    appendArgument(commandLine, wide(program));
    for (const auto& arg : args)
        appendArgument(commandLine, wide(arg));

    HANDLE in = inheritable(stdinFile == "/dev/null" ? "NUL" : stdinFile, false);
    HANDLE out = inheritable(outFile, true);
    HANDLE err = inheritable(errFile, true);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    const BOOL started =
        CreateProcessW(wide(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &si, &pi);
    const DWORD startError = GetLastError();
    for (HANDLE h : {in, out, err})
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    if (!started)
        throw std::runtime_error("cannot start " + program + ": error " +
                                 std::to_string(startError));
    ProgramResult result;
    // A program that waits for input it will never get must not hang the tests.
    if (WaitForSingleObject(pi.hProcess, static_cast<DWORD>(patienceSeconds) * 1000) !=
        WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 128 + 9);
        WaitForSingleObject(pi.hProcess, INFINITE);
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    result.exitCode = static_cast<int>(code);
    // Text written to a Windows stream ends its lines in CR LF; the tests compare lines.
    auto lines = [](std::string text) {
        for (size_t at; (at = text.find("\r\n")) != std::string::npos;)
            text.erase(at, 1);
        return text;
    };
    result.out = lines(outputs.read("out"));
    result.err = lines(outputs.read("err"));
    return result;
}

#else
extern "C" char** environ;

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env,
                         const std::string& stdinFile, int patienceSeconds) {
    TempDir outputs;
    const std::string outFile = outputs.str() + "/out", errFile = outputs.str() + "/err";

    std::map<std::string, std::string> merged;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const size_t eq = entry.find('=');
        if (eq != std::string::npos)
            merged[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [k, v] : env)
        merged[k] = v;
    std::vector<std::string> envStrings;
    for (const auto& [k, v] : merged)
        envStrings.push_back(k + "=" + v);
    std::vector<char*> envp, argv;
    for (auto& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    for (auto& s : argStrings)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, stdinFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(rc));

    // A program that waits for input it will never get must not hang the tests.
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(patienceSeconds);
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ProgramResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = outputs.read("out");
    result.err = outputs.read("err");
    return result;
}

#endif

}  // namespace vornak::test
