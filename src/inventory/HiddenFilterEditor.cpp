#include "inventory/HiddenFilterEditor.h"

#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "inventory/Inventory.h"
#include "registry/CommandDispatch.h"

namespace vornak {
namespace {

constexpr int kClientWidth = 418;
constexpr int kClientHeight = 259;
constexpr int kStripHeight = 30;

}  // namespace

THiddenFilterEditor::THiddenFilterEditor(Inventory& inventory, platform::Dialogs& dialogs,
                                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      inventory_(inventory),
      dialogs_(dialogs) {
    setObjectName(QStringLiteral("HiddenFilterEditor"));
    setWindowTitle(QStringLiteral("Hidden Filter Editor"));
    setFixedSize(kClientWidth, kClientHeight);
    setSizeGripEnabled(false);

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("ListBox1"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setGeometry(0, 0, kClientWidth, kClientHeight - kStripHeight);

    delete_ = new QPushButton(
        QStringLiteral("Delete selected from the list and don't hide it anymore"), this);
    delete_->setObjectName(QStringLiteral("SletValgte"));
    delete_->setAutoDefault(false);
    delete_->setGeometry((kClientWidth - 405) / 2, kClientHeight - kStripHeight + 3, 405, 24);
    connect(delete_, &QPushButton::clicked, this,
            [this] { runCommand(dialogs_, [this] { SletValgteClick(); }); });
}

void THiddenFilterEditor::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Only the opening loads the list: a show event also comes when the window
    // is restored from minimised, and must not undo the user's deletions.
    if (open_)
        return;
    open_ = true;
    // The window's own rectangle is centred, not its frame: the frame is not
    // known at the first opening and is at the next, which would move it.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));
    FormActivate();
}

void THiddenFilterEditor::FormActivate() {
    model_.load(inventory_.hiddenList());
    showLines();
}

void THiddenFilterEditor::showLines() {
    list_->clear();
    for (const auto& line : model_.lines())
        list_->addItem(QString::fromStdString(line));
}

void THiddenFilterEditor::SletValgteClick() {
    const auto selected = list_->selectionModel()->selectedRows();
    const int row = selected.isEmpty() ? -1 : selected.first().row();
    model_.deleteLine(row);
    if (row < 0)
        return;
    delete list_->takeItem(row);
    // The list box then has no selected line: Qt would move the selection to
    // the next line, and a second press would take that one off too.
    list_->setCurrentRow(-1);
    list_->clearSelection();
}

void THiddenFilterEditor::FormCloseQuery() {
    model_.apply(inventory_);
}

void THiddenFilterEditor::done(int result) {
    // The window always closes; a failed re-read of the inventory is reported
    // (or silently dropped) by the dispatch like any command's.
    runCommand(dialogs_, [this] { FormCloseQuery(); });
    open_ = false;
    QDialog::done(result);
}

}  // namespace vornak
