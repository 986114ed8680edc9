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

}  // namespace vornak::platform
