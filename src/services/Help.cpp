#include "services/Help.h"

#include <stdexcept>

#include "language/MessageCatalogue.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"

namespace vornak::services {

void showHelp(platform::Shell* shell, platform::Dialogs& dialogs, const std::string& helpFile) {
    if (!shell)
        throw std::runtime_error("No desktop shell is available to show the help.");
    if (!shell->showHelpContext(helpFile, kHelpContents))
        dialogs.messageDialog(messageText(Msg::fmtHelpNotOpened, {shell->helpLocation(helpFile)}),
                              platform::DialogKind::Error, platform::kButtonOk);
}

std::string helpPagePath(const std::string& helpFile, const std::string& programHostFolder) {
    return platform::helpPageFor(helpFile, programHostFolder, '/');
}

std::string helpPageAnchor(int context) {
    return context == kHelpContents ? std::string() : "context-" + std::to_string(context);
}

}  // namespace vornak::services
