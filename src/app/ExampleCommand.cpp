#include "app/ExampleCommand.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QProcess>

#include "app/ApplicationInfo.h"
#include "app/ExampleRegistry.h"
#include "app/MainWindow.h"
#include "app/QtText.h"
#include "language/LanguageEngine.h"
#include "language/LanguageSettings.h"
#include "language/MessageCatalogue.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"

namespace vornak::app {

ExampleCommand::ExampleCommand(TForm1& form) : QObject(&form), form_(form) {
    setObjectName(QStringLiteral("ExampleCommand"));
    auto* help = form.findChild<QMenu*>(QStringLiteral("Hjaelp"));
    if (!help)
        return;
    auto* action = new QAction(&form);
    action->setObjectName(QStringLiteral("OpenExample"));
    // Right below Help: both are about learning the program.
    const QList<QAction*> items = help->actions();
    const qsizetype helpAt =
        items.indexOf(form.findChild<QAction*>(QStringLiteral("Hjaelp_hjaelp")));
    help->insertAction(helpAt >= 0 && helpAt + 1 < items.size() ? items[helpAt + 1] : nullptr,
                       action);
    form.installCommand(QStringLiteral("OpenExample"), [this] { OpenExampleClick(); });
    if (exampleInUse())
        form.setProperty("showsExample", true);
    form.whenLanguageApplied([this] { showTexts(); });
    showTexts();
}

void ExampleCommand::showTexts() {
    if (auto* action = form_.findChild<QAction*>(QStringLiteral("OpenExample")))
        action->setText(toDisplayText(messages().get(Msg::msgOpenExample)));
    if (!exampleInUse())
        return;
    form_.setWindowTitle(toQt(applicationTitle() + " - " + messages().get(Msg::msgExampleTitle)));
    if (auto* info = form_.findChild<QLabel*>(QStringLiteral("lblInfoBody")))
        info->setText(toDisplayText(messageText(Msg::msgExampleInfo)));
}

void ExampleCommand::OpenExampleClick() {
    // The new program reads the language from the settings: the one in use
    // now, should it have changed since the start.
    saveLanguage(form_.language().currentLanguage());
    const auto fs = platform::defaultFileSystem();
    QString folder = toQt(fs->toHostPath(fs->programFolder()));
    if (!folder.endsWith(u'/'))
        folder += u'/';
    QProcess process;
    process.setProgram(folder + QStringLiteral("vornak-uninstaller"));
    process.setArguments({QString::fromLatin1(kExampleArgument)});
    if (!process.startDetached())
        form_.dialogs().showMessage(messageText(
            Msg::fmtExampleNotOpened,
            {fromQt(process.program() + QStringLiteral(": ") + process.errorString())}));
}

}  // namespace vornak::app
