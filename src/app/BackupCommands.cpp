#include "app/BackupCommands.h"

#include <QAction>
#include <QMenu>
#include <vector>

#include "app/FontCharset.h"
#include "app/MainWindow.h"
#include "app/QtText.h"
#include "language/MessageCatalogue.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"
#include "registry/RegFileText.h"
#include "registry/RegistryBackup.h"

namespace vornak::app {

BackupCommands::BackupCommands(TForm1& form) : QObject(&form), form_(form) {
    setObjectName(QStringLiteral("BackupCommands"));
    auto command = [this](QMenu* menu, QAction* before, const char* name,
                          void (BackupCommands::*handler)()) {
        auto* action = new QAction(menu);
        action->setObjectName(QString::fromLatin1(name));
        menu->insertAction(before, action);
        connect(action, &QAction::triggered, this,
                [this, handler] { form_.run([this, handler] { (this->*handler)(); }); });
        return action;
    };
    if (auto* filer = form.findChild<QMenu*>(QStringLiteral("Filer"))) {
        QAction* exit = form.findChild<QAction*>(QStringLiteral("Afslut"));
        restore_ = command(filer, exit, "GendanBackup", &BackupCommands::RestoreBackupClick);
        connect(filer, &QMenu::aboutToShow, this, &BackupCommands::retranslate);
    }
    if (auto* settings = form.findChild<QMenu*>(QStringLiteral("Indstillinger"))) {
        settings->addSeparator();
        trash_ = command(settings, nullptr, "Papirkurv", &BackupCommands::TrashClick);
        trash_->setCheckable(true);
        trash_->setChecked(registry::trashSettingOn());
        days_ = command(settings, nullptr, "BackupDage", &BackupCommands::BackupDaysClick);
        connect(settings, &QMenu::aboutToShow, this, &BackupCommands::retranslate);
    }
    retranslate();

    // Old backups go at start, in the folder of what the window manages.
    const auto fs = platform::defaultFileSystem();
    registry::pruneBackups(*fs, registry::backupsFolder(*fs), registry::backupRetentionDays());
}

void BackupCommands::retranslate() {
    // The language may have changed since the menu was last looked at.
    if (restore_)
        restore_->setText(toQt(messages().get(Msg::msgRestoreBackupMenu)));
    if (trash_)
        trash_->setText(toQt(messages().get(Msg::msgTrashMenu)));
    if (days_)
        days_->setText(toQt(messages().get(Msg::msgBackupDaysMenu)));
}

void BackupCommands::RestoreBackupClick() {
    platform::Dialogs& dialogs = form_.dialogs();
    const auto fs = platform::defaultFileSystem();
    const std::string folder = registry::backupsFolder(*fs);
    const auto backups = registry::listBackups(*fs, folder);
    if (backups.empty()) {
        dialogs.showMessage(messages().get(Msg::msgNoBackups));
        return;
    }
    std::vector<std::string> names;
    for (const auto& backup : backups)
        names.push_back(backup.name);
    const std::string title = messages().get(Msg::msgRestoreBackupMenu);
    const auto chosen =
        dialogs.chooseItem(title, messages().get(Msg::msgRestoreBackupPrompt), names);
    if (!chosen || *chosen >= names.size())
        return;
    const std::string& name = names[*chosen];
    if (!dialogs.askYesNo(messageText(Msg::fmtRestoreBackupQuestion, {name}),
                          messages().get(Msg::msgConfirmCaption)))
        return;
    try {
        auto accessor = platform::defaultRegistryStore()->accessor();
        registry::restoreBackup(*fs, folder, *accessor, name);
    } catch (const registry::RegFileError& e) {
        dialogs.showError(
            messageText(Msg::fmtBackupNotRestored, {name, registry::lineSafe(e.message())}));
        return;
    } catch (const platform::RegistryStoreError& e) {
        dialogs.showError(messageText(Msg::fmtBackupNotRestored, {name, e.what()}));
        return;
    }
    form_.inventory().RefreshAndRefilter();
    dialogs.showMessage(messageText(Msg::fmtBackupRestored, {name}));
}

void BackupCommands::TrashClick() {
    registry::writeTrashSetting(trash_->isChecked());
}

void BackupCommands::BackupDaysClick() {
    const auto answer = form_.dialogs().inputBox(messages().get(Msg::msgBackupDaysMenu),
                                                 messages().get(Msg::msgBackupDaysPrompt),
                                                 std::to_string(registry::backupRetentionDays()));
    if (!answer)
        return;
    const auto days = parseWholeNumber(*answer);
    if (!days || *days < 0)
        return;
    registry::writeBackupRetentionDays(*days);
}

}  // namespace vornak::app
