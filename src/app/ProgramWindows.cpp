#include "app/ProgramWindows.h"

#include "app/MainWindow.h"
#include "inventory/HiddenFilterEditor.h"

namespace vornak::app {

void createProgramWindows(TForm1& form) {
    // TOmForm (About) comes here once it is built.
    new THiddenFilterEditor(form.inventory(), form.dialogs(), &form);
    // TViewEditInfoForm and TAnalyzeForm follow here once they are built.
    form.applyListFont();
}

}  // namespace vornak::app
