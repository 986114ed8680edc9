#include "platform/ProcessLauncher.h"

#include <mutex>

namespace vornak::platform {
namespace {

std::mutex g_launcherMutex;
std::shared_ptr<ProcessLauncher> g_launcher;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::shared_ptr<ProcessLauncher> defaultProcessLauncher() {
    std::lock_guard lock(g_launcherMutex);
    if (!g_launcher)
        g_launcher = hostProcessLauncher();
    return g_launcher;
}

void setDefaultProcessLauncher(std::shared_ptr<ProcessLauncher> launcher) {
    std::lock_guard lock(g_launcherMutex);
    g_launcher = std::move(launcher);
}

std::vector<ProgramCandidate> programCandidates(std::string_view line) {
    std::vector<ProgramCandidate> out;
    size_t i = 0;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    if (i == line.size())
        return out;
    if (line[i] == '"') {
        const size_t close = line.find('"', i + 1);
        if (close == std::string_view::npos) {
            out.push_back({std::string(line.substr(i + 1)), {}});
        } else {
            out.push_back({std::string(line.substr(i + 1, close - i - 1)),
                           std::string(line.substr(close + 1))});
        }
        return out;
    }
    // Unquoted: every blank ends one more candidate, the longest being the whole line.
    const size_t begin = i;
    while (i <= line.size()) {
        if (i == line.size() || isBlank(line[i])) {
            if (i > begin && !isBlank(line[i - 1]))
                out.push_back(
                    {std::string(line.substr(begin, i - begin)), std::string(line.substr(i))});
            if (i == line.size())
                break;
        }
        ++i;
    }
    return out;
}

std::vector<std::string> splitArguments(std::string_view text) {
    std::vector<std::string> args;
    size_t i = 0;
    for (;;) {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        if (i >= text.size())
            break;
        std::string arg;
        bool quoted = false;
        while (i < text.size() && (quoted || !isBlank(text[i]))) {
            if (text[i] == '\\') {
                size_t n = 0;
                while (i < text.size() && text[i] == '\\') {
                    ++n;
                    ++i;
                }
                if (i < text.size() && text[i] == '"') {
                    arg.append(n / 2, '\\');
                    if (n % 2 == 1) {
                        arg.push_back('"');
                        ++i;
                    }
                    // An even count leaves the quote to the code below.
                } else {
                    arg.append(n, '\\');
                }
                continue;
            }
            if (text[i] == '"') {
                if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
                    arg.push_back('"');
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg.push_back(text[i]);
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::string withDefaultExtension(const std::string& program) {
    const size_t lastSep = program.find_last_of("\\/:");
    const size_t dot = program.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (lastSep == std::string::npos || dot > lastSep);
    return hasExtension ? program : program + ".exe";
}

}  // namespace vornak::platform
