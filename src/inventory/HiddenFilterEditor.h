// THiddenFilterEditor: the window that shows the hidden list and lets the user
// take names off it. Closing it applies the change; there is no Cancel.
#pragma once

#include <QDialog>

#include "inventory/HiddenFilterEditorModel.h"

class QListWidget;
class QPushButton;

namespace vornak {

class Inventory;
namespace platform {
class Dialogs;
}

class THiddenFilterEditor : public QDialog {
  public:
    THiddenFilterEditor(Inventory& inventory, platform::Dialogs& dialogs,
                        QWidget* parent = nullptr);

    void FormActivate();
    void SletValgteClick();
    void FormCloseQuery();

    const HiddenFilterEditorModel& model() const { return model_; }

    // Closing by the close box, Esc or done() all end here.
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void showLines();

    Inventory& inventory_;
    platform::Dialogs& dialogs_;
    HiddenFilterEditorModel model_;
    QListWidget* list_ = nullptr;
    QPushButton* delete_ = nullptr;
    bool open_ = false;  // shown and not yet closed
};

}  // namespace vornak
