// TForm1 from the keyboard: the filter box has the keys at start, Tab follows
// the window as a user reads it, and the list never takes the focus without a
// row that Enter, Del, Ctrl+I and F2 can act on.
#include <QFocusEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>
#include <QToolButton>

#include "app/InventoryModel.h"
#include "app/MainWindow.h"

namespace vornak::app {

void TForm1::setUpKeyboard(QWidget* clearButton) {
    QList<QWidget*> chain{filterBox_, list_, clearButton};
    for (const char* name : {"btnUninstall", "btnDelete", "btnAnalyze", "btnHelp"})
        if (auto* button = findChild<QToolButton*>(QString::fromLatin1(name)))
            chain << button;
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
    // A list program is typed into first: the window opens with the keys in
    // the filter box, not on whatever control happens to come first.
    filterBox_->setFocus(Qt::OtherFocusReason);
    list_->installEventFilter(this);
}

bool TForm1::eventFilter(QObject* watched, QEvent* e) {
    if (watched == list_ && e->type() == QEvent::FocusIn) {
        // A click selects its own row, and a return from another window finds
        // the list as the user left it; only the keyboard arrives without one.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
            reason == Qt::ShortcutFocusReason)
            selectCurrentRow();
    }
    return QMainWindow::eventFilter(watched, e);
}

void TForm1::selectCurrentRow() {
    QItemSelectionModel* selection = list_->selectionModel();
    if (selection->hasSelection() || model_->rowCount() == 0)
        return;
    QModelIndex current = list_->currentIndex();
    if (!current.isValid())
        current = model_->index(0, 0);
    selection->setCurrentIndex(current,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

}  // namespace vornak::app
