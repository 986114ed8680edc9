#include "app/ProgramWindows.h"

#include <QLabel>

#include "actions/EntryCommands.h"
#include "actions/ViewEditInfoForm.h"
#include "app/MainWindow.h"
#include "app/QtText.h"
#include "inventory/HiddenFilterEditor.h"

namespace vornak::app {

void createProgramWindows(TForm1& form) {
    // TOmForm (About) comes here once it is built.
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
    form.installCommand(QStringLiteral("Uninstall"),
                        [entryCommands] { entryCommands->UninstallClick(); });
    form.installCommand(QStringLiteral("btnUninstall"),
                        [entryCommands] { entryCommands->btnUninstallClick(); });
    form.installCommand(QStringLiteral("Slet"), [entryCommands] { entryCommands->SletClick(); });
    form.installCommand(QStringLiteral("btnDelete"),
                        [entryCommands] { entryCommands->btnDeleteClick(); });
    form.installCommand(QStringLiteral("ShowEditInfo"),
                        [entryCommands] { entryCommands->ShowEditInfoClick(); });

    // TAnalyzeForm follows here once it is built.
    form.applyListFont();
}

}  // namespace vornak::app
