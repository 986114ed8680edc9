#include "platform/Shell.h"

#include <mutex>

namespace vornak::platform {
namespace {

std::mutex g_shellMutex;
std::shared_ptr<Shell> g_shell;

}  // namespace

std::shared_ptr<Shell> defaultShell() {
    std::lock_guard lock(g_shellMutex);
    return g_shell;
}

void setDefaultShell(std::shared_ptr<Shell> shell) {
    std::lock_guard lock(g_shellMutex);
    g_shell = std::move(shell);
}

std::string helpPageFor(const std::string& helpFile, const std::string& programHostFolder,
                        char separator) {
    const char other = separator == '/' ? '\\' : '/';
    std::string page = helpFile;
    for (char& c : page)
        if (c == other)
            c = separator;
    const size_t sep = page.rfind(separator);
    const size_t dot = page.rfind('.');
    if (dot != std::string::npos && (sep == std::string::npos || dot > sep))
        page.resize(dot);
    page += ".html";
    if (sep != std::string::npos)
        return page;
    std::string folder = programHostFolder;
    if (!folder.empty() && folder.back() != separator && folder.back() != '/')
        folder += separator;
    return folder + page;
}

}  // namespace vornak::platform
