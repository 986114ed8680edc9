#include "app/ProgramWindows.h"

#include "about/OmForm.h"
#include "app/MainWindow.h"
#include "inventory/HiddenFilterEditor.h"

namespace vornak::app {

void createProgramWindows(TForm1& form) {
    auto* about = new about::TOmForm(&form);
    form.installCommand(QStringLiteral("Om"), [about] { about->exec(); });  // OmClick
    new THiddenFilterEditor(form.inventory(), form.dialogs(), &form);
    // TViewEditInfoForm and TAnalyzeForm follow here once they are built.
    form.applyListFont();
}

}  // namespace vornak::app
