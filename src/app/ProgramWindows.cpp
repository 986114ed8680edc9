#include "app/ProgramWindows.h"

#include <QLabel>
#include <QStatusBar>
#include <memory>

#include "about/OmForm.h"
#include "actions/EntryCommands.h"
#include "actions/ViewEditInfoForm.h"
#include "analysis/AnalyzeForm.h"
#include "app/ApplicationInfo.h"
#include "app/BackupCommands.h"
#include "app/MainWindow.h"
#ifndef _WIN32
#include "app/ExampleCommand.h"
#include "app/ExampleRegistry.h"
#include "app/PrefixChoice.h"
#endif
#include "app/QtText.h"
#include "app/UninstallQueue.h"
#include "inventory/HiddenFilterEditor.h"
#include "language/MessageCatalogue.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"
#include "services/Help.h"
#include "services/ListExport.h"
#include "services/UpdateCheck.h"

namespace vornak::app {
namespace {

// The update check, the web site, help and the list export.
void installServiceCommands(TForm1& form) {
    const std::shared_ptr<platform::Shell> shell = platform::defaultShell();
    // While the answer is awaited the window says so, and the pointer over it
    // is busy; the window itself stays in use.
    auto update = std::make_shared<services::UpdateCheck>(form.dialogs(), shell, [&form](bool on) {
        if (on) {
            form.statusBar()->showMessage(
                toDisplayText(messages().get(Msg::msgCheckingForUpdates)));
            form.setCursor(Qt::BusyCursor);
        } else {
            form.statusBar()->clearMessage();
            form.unsetCursor();
        }
    });
    form.installCommand(QStringLiteral("SoegEfterOpdateringer"),
                        [update] { update->SoegEfterOpdateringerClick(); });
    form.installCommand(QStringLiteral("Website"), [update] { update->WebsiteClick(); });
    auto help = [shell, &form] { services::showHelp(shell.get(), form.dialogs(), helpFile()); };
    form.installCommand(QStringLiteral("Hjaelp_hjaelp"), help);
    form.installCommand(QStringLiteral("btnHelp"), help);
    form.installCommand(QStringLiteral("EksporterListe"), [&form] {
        const QObject* saveDialog = form.findChild<QObject*>(QStringLiteral("SaveDialog1"));
        const std::string filter =
            saveDialog ? fromQt(saveDialog->property("filter").toString()) : std::string();
        services::exportList(form.inventory().visible(), filter, form.dialogs(),
                             *platform::defaultFileSystem());
    });
}

}  // namespace

void createProgramWindows(TForm1& form) {
    auto* about = new about::TOmForm(&form);
    form.installCommand(QStringLiteral("Om"), [about] { about->exec(); });  // OmClick
    new THiddenFilterEditor(form.inventory(), form.dialogs(), &form);

    QLabel* infoBody = form.findChild<QLabel*>(QStringLiteral("lblInfoBody"));
    auto* entryCommands = new actions::EntryCommands(
        form.inventory(), form.dialogs(),
        {[&form] { return form.selectedRow(); },
         [infoBody](const std::string& text) { infoBody->setText(toDisplayText(text)); },
         [&form] { form.run([&form] { form.inventory().RefreshAndRefilter(); }); }},
        &form);
    auto* editor = new actions::TViewEditInfoForm(
        form.dialogs(), [entryCommands] { entryCommands->refreshAndRefilter(); }, &form);
    entryCommands->setEditor(editor);
    installUninstallQueue(form, [entryCommands] { entryCommands->UninstallClick(); });
    form.installCommand(QStringLiteral("Slet"), [entryCommands] { entryCommands->SletClick(); });
    form.installCommand(QStringLiteral("btnDelete"),
                        [entryCommands] { entryCommands->btnDeleteClick(); });
    form.installCommand(QStringLiteral("ShowEditInfo"),
                        [entryCommands] { entryCommands->ShowEditInfoClick(); });
    auto* wizard = new analysis::TAnalyzeForm(form.dialogs(), &form);
    form.installCommand(QStringLiteral("btnAnalyze"), [wizard, &form] {
        wizard->exec();
        // The user may have been in the installer until the analysis ended:
        // the keys come back to the window the wizard was opened from.
        form.raise();
        form.activateWindow();
    });
    form.applyListFont();
    installServiceCommands(form);
    new BackupCommands(form);
#ifndef _WIN32
    // The example shows its own store only; a prefix is chosen in the user's.
    if (!exampleInUse())
        new PrefixChoice(form);
    new ExampleCommand(form);
#endif
}

}  // namespace vornak::app
