#include "app/ProgramWindows.h"

#include "analysis/AnalyzeForm.h"
#include "app/MainWindow.h"
#include "inventory/HiddenFilterEditor.h"

namespace vornak::app {

void createProgramWindows(TForm1& form) {
    // TOmForm (About) comes here once it is built.
    new THiddenFilterEditor(form.inventory(), form.dialogs(), &form);
    // TViewEditInfoForm follows here once it is built.
    auto* wizard = new analysis::TAnalyzeForm(form.dialogs(), &form);
    form.installCommand(QStringLiteral("btnAnalyze"), [wizard] { wizard->exec(); });
    form.applyListFont();
}

}  // namespace vornak::app
