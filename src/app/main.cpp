// vornak-uninstaller: the main block. Shows the splash screen, sets the title
// and the help file, creates the windows (the main window first, which builds
// the inventory and moves the splash screen's bar), frees the splash screen,
// shows the main window and runs the message loop until it has closed.
#include <QApplication>
#include <QStyleFactory>
#include <memory>

#include "about/SplashScreen.h"
#include "app/ApplicationInfo.h"
#include "app/FontSubstitutes.h"
#include "app/MainWindow.h"
#ifndef _WIN32
#include "app/ExampleRegistry.h"
#include "app/PrefixChoice.h"
#endif
#include "app/ProgramWindows.h"
#include "app/QtDialogs.h"
#include "app/QtText.h"
#include "app/StoreCheck.h"
#include "language/MessageCatalogue.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"
#include "services/DesktopShell.h"

int main(int argc, char** argv) {
    using namespace vornak;
    QApplication application(argc, argv);
#ifdef _WIN32
    app::addFontSubstitutes();
#endif
    auto splash = std::make_unique<about::TSplashScreen>(about::TSplashScreen::readPicture());
    splash->show();
    app::setApplicationTitle(app::kApplicationTitle);
    app::setHelpFile(app::kHelpFileName);
    QApplication::setApplicationName(app::toQt(app::applicationTitle()));
    splash->setWindowTitle(app::toQt(app::applicationTitle()));  // for a window manager that asks
    // One look for all menus and bars, the same on every desktop.
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(style);
    splash->paintAtOnce();

    app::QtDialogs dialogs;
#ifndef _WIN32
    if (application.arguments().contains(QString::fromLatin1(app::kExampleArgument))) {
        try {
            app::openExampleRegistry();
        } catch (const std::exception& e) {
            // Asked for the example, the user must not take their own list for it.
            splash->hide();
            dialogs.showError(messageText(Msg::fmtExampleNotOpened, {std::string(e.what())}));
            return 1;
        }
    } else {
        app::restoreWinePrefix();
    }
#endif
    app::reportDamagedRegistryStore(dialogs);

    // The bar moves only while the splash screen exists.
    app::TForm1 form(dialogs, {[&splash](int maximum) {
                                   if (splash)
                                       splash->setMaximum(maximum);
                               },
                               [&splash] {
                                   if (splash)
                                       splash->step();
                               }});
#ifdef _WIN32
    {
        // What the shell shows (its own messages) belongs to the main window.
        const auto fs = platform::defaultFileSystem();
        platform::setDefaultShell(
            platform::makeWindowsShell(fs->toHostPath(fs->programFolder()),
                                       [&form] { return reinterpret_cast<void*>(form.winId()); }));
    }
#else
    platform::setDefaultShell(std::make_shared<services::DesktopShell>());
#endif
    app::createProgramWindows(form);
    splash->hide();
    splash.reset();
    form.show();
    form.activateWindow();
    return application.exec();
}
