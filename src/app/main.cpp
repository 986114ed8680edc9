// vornak-uninstaller: the main block. Sets the title and the help file, creates
// the windows (the main window first, which builds the inventory), shows the
// main window and runs the message loop until it has closed.
#include <QApplication>
#include <QStyleFactory>

#include "app/ApplicationInfo.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "app/QtDialogs.h"
#include "app/QtText.h"
#include "app/StoreCheck.h"
#include "platform/Shell.h"
#include "services/DesktopShell.h"

int main(int argc, char** argv) {
    using namespace vornak;
    QApplication application(argc, argv);
    app::setApplicationTitle(app::kApplicationTitle);
    app::setHelpFile(app::kHelpFileName);
    QApplication::setApplicationName(app::toQt(app::applicationTitle()));
    // One look for all menus and bars, the same on every desktop.
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(style);

    platform::setDefaultShell(std::make_shared<services::DesktopShell>());
    app::QtDialogs dialogs;
    app::reportDamagedRegistryStore(dialogs);

    app::TForm1 form(dialogs);
    app::createProgramWindows(form);
    form.show();
    form.activateWindow();
    return application.exec();
}
