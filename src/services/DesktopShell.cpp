#include "services/DesktopShell.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>
#include <stdexcept>

#include "platform/FileSystem.h"
#include "services/Help.h"

namespace vornak::services {

bool DesktopShell::openWebAddress(const std::string& address) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

bool DesktopShell::showHelpContext(const std::string& helpFile, int context) {
    if (helpFile.empty())
        throw std::runtime_error("This program has no help file.");
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(helpLocation(helpFile)));
    if (const std::string anchor = helpPageAnchor(context); !anchor.empty())
        url.setFragment(QString::fromStdString(anchor));
    return QDesktopServices::openUrl(url);
}

std::string DesktopShell::helpLocation(const std::string& helpFile) const {
    const auto fs = platform::defaultFileSystem();
    return helpPagePath(helpFile, fs->toHostPath(fs->programFolder()));
}

}  // namespace vornak::services
