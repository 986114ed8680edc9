#include "services/DesktopShell.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>
#include <stdexcept>

#include "platform/FileSystem.h"
#include "services/Help.h"

namespace vornak::services {

void DesktopShell::openWebAddress(const std::string& address) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

void DesktopShell::showHelpContext(const std::string& helpFile, int context) {
    if (helpFile.empty())
        throw std::runtime_error("This program has no help file.");
    const auto fs = platform::defaultFileSystem();
    const std::string page = helpPagePath(helpFile, fs->toHostPath(fs->programFolder()));
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(page));
    if (const std::string anchor = helpPageAnchor(context); !anchor.empty())
        url.setFragment(QString::fromStdString(anchor));
    QDesktopServices::openUrl(url);
}

}  // namespace vornak::services
