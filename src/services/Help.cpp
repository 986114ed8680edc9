#include "services/Help.h"

#include <stdexcept>

#include "platform/Shell.h"

namespace vornak::services {

void showHelp(platform::Shell* shell, const std::string& helpFile) {
    if (!shell)
        throw std::runtime_error("No desktop shell is available to show the help.");
    shell->showHelpContext(helpFile, kHelpContents);
}

std::string helpPagePath(const std::string& helpFile, const std::string& programHostFolder) {
    std::string page = helpFile;
    for (char& c : page)
        if (c == '\\')
            c = '/';
    const size_t slash = page.rfind('/');
    const size_t dot = page.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        page.resize(dot);
    page += ".html";
    if (slash != std::string::npos)
        return page;
    std::string folder = programHostFolder;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder + page;
}

std::string helpPageAnchor(int context) {
    return context == kHelpContents ? std::string() : "context-" + std::to_string(context);
}

}  // namespace vornak::services
