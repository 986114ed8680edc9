// TViewEditInfoForm: the window that shows one registration's string values
// and lets the user change, add and remove them. Changes and additions reach
// the registry on Save; a removal acts at once.
#pragma once

#include <QDialog>
#include <functional>

#include "actions/EditInfoModel.h"

class QKeyEvent;
class QLineEdit;
class QMenu;
class QStackedWidget;
class QTreeWidget;

namespace vornak {
namespace platform {
class Dialogs;
}

namespace actions {

class TViewEditInfoForm : public QDialog {
  public:
    // `refreshAndRefilter` rebuilds the main list after a save.
    TViewEditInfoForm(platform::Dialogs& dialogs, std::function<void()> refreshAndRefilter,
                      QWidget* parent = nullptr);

    // ShowEditInfoClick's part: sets the target, loads and shows the editor
    // modally; returns when it has closed.
    void showFor(const std::string& rootCode, const std::string& keyPath);

    // ---- Handlers ----
    void FormActivate();
    void lsvStuffDblClick();
    void btnOKClick();
    void btnCancel2Click();
    void AddNewItem1Click();
    void btnOK2Click();
    void Remove1Click();
    void btnSaveClick();
    void btnCancelClick();

    const EditInfoModel& model() const { return model_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    enum Page { kMain = 0, kEditString = 1, kAddValue = 2 };
    void showRows();
    // Shows a page with the keys where its work starts: the list, or the
    // page's first text box.
    void showPage(Page page);
    int selectedRow() const;
    void run(const std::function<void()>& handler);

    platform::Dialogs& dialogs_;
    std::function<void()> refreshAndRefilter_;
    EditInfoModel model_;
    int editedRow_ = -1;

    QStackedWidget* pages_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QMenu* popup_ = nullptr;
    QLineEdit* changedValue_ = nullptr;
    QLineEdit* valueName_ = nullptr;
    QLineEdit* valueContent_ = nullptr;
};

}  // namespace actions
}  // namespace vornak
