#include "actions/ViewEditInfoForm.h"

#include <QAction>
#include <QBoxLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QTreeWidget>

#include "actions/EntryRegistry.h"
#include "language/MessageCatalogue.h"
#include "platform/Dialogs.h"
#include "registry/CommandDispatch.h"

namespace vornak::actions {
namespace {

constexpr int kClientWidth = 479;
constexpr int kClientHeight = 262;
constexpr int kColumnWidth = 215;

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QLabel* makeLabel(QWidget* parent, const char* name, const char* caption) {
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QLineEdit* makeEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QWidget* makePage(QStackedWidget* pages, const char* name) {
    auto* page = new QWidget(pages);
    page->setObjectName(QString::fromLatin1(name));
    pages->addWidget(page);
    return page;
}

QHBoxLayout* buttonRow(QBoxLayout* column, std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* b : buttons)
        row->addWidget(b);
    column->addLayout(row);
    return row;
}

}  // namespace

TViewEditInfoForm::TViewEditInfoForm(platform::Dialogs& dialogs,
                                     std::function<void()> refreshAndRefilter, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      dialogs_(dialogs),
      refreshAndRefilter_(std::move(refreshAndRefilter)) {
    setObjectName(QStringLiteral("ViewEditInfoForm"));
    setWindowTitle(QStringLiteral("View/Edit Info"));
    setFixedSize(kClientWidth, kClientHeight);
    setSizeGripEnabled(false);

    auto* whole = new QVBoxLayout(this);
    whole->setContentsMargins(0, 0, 0, 0);
    // The pages have no tabs: only the handlers switch between them.
    pages_ = new QStackedWidget(this);
    pages_->setObjectName(QStringLiteral("PageControl"));
    whole->addWidget(pages_);

    // Page 0: the values.
    QWidget* main = makePage(pages_, "Main");
    auto* mainColumn = new QVBoxLayout(main);
    list_ = new QTreeWidget(main);
    list_->setObjectName(QStringLiteral("lsvStuff"));
    list_->setColumnCount(2);
    list_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Value")});
    list_->header()->resizeSection(0, kColumnWidth);
    list_->header()->resizeSection(1, kColumnWidth);
    list_->header()->setSectionsClickable(false);
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    mainColumn->addWidget(list_, 1);
    QPushButton* save = makeButton(main, "btnSave", "Save");
    QPushButton* cancel = makeButton(main, "btnCancel", "Cancel");
    buttonRow(mainColumn, {save, cancel});

    popup_ = new QMenu(this);
    popup_->setObjectName(QStringLiteral("PopupMenu1"));
    auto addItem = [this](const char* name, const char* caption, void (TViewEditInfoForm::*fn)()) {
        auto* action = new QAction(QString::fromUtf8(caption), this);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this,
                [this, fn] { run([this, fn] { (this->*fn)(); }); });
        popup_->addAction(action);
        return action;
    };
    popup_->setDefaultAction(addItem("Change1", "&Change", &TViewEditInfoForm::lsvStuffDblClick));
    addItem("AddNewItem1", "Add New Item", &TViewEditInfoForm::AddNewItem1Click);
    addItem("Remove1", "Remove (can't be reversed)", &TViewEditInfoForm::Remove1Click);
    connect(list_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { popup_->popup(list_->viewport()->mapToGlobal(at)); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this] { run([this] { lsvStuffDblClick(); }); });

    // Page 1: a new text for the value being changed.
    QWidget* edit = makePage(pages_, "EditString");
    auto* editColumn = new QVBoxLayout(edit);
    editColumn->addWidget(makeLabel(edit, "Label2", "New Value:"));
    changedValue_ = makeEdit(edit, "edtChangedValue");
    editColumn->addWidget(changedValue_);
    editColumn->addStretch(1);
    QPushButton* ok = makeButton(edit, "btnOK", "OK");
    QPushButton* cancel2 = makeButton(edit, "btnCancel2", "Cancel");
    buttonRow(editColumn, {ok, cancel2});

    // Page 2: a further value.
    QWidget* add = makePage(pages_, "AddValue");
    auto* addColumn = new QVBoxLayout(add);
    addColumn->addWidget(makeLabel(add, "Label1", "Name of new item:"));
    valueName_ = makeEdit(add, "edtValueName");
    addColumn->addWidget(valueName_);
    addColumn->addWidget(makeLabel(add, "Label3", "Content of new item:"));
    valueContent_ = makeEdit(add, "edtValueContent");
    addColumn->addWidget(valueContent_);
    addColumn->addStretch(1);
    QPushButton* ok2 = makeButton(add, "btnOK2", "OK");
    QPushButton* cancel3 = makeButton(add, "btnCancel3", "Cancel");
    buttonRow(addColumn, {ok2, cancel3});

    auto bind = [this](QPushButton* button, void (TViewEditInfoForm::*fn)()) {
        connect(button, &QPushButton::clicked, this,
                [this, fn] { run([this, fn] { (this->*fn)(); }); });
    };
    bind(save, &TViewEditInfoForm::btnSaveClick);
    bind(cancel, &TViewEditInfoForm::btnCancelClick);
    bind(ok, &TViewEditInfoForm::btnOKClick);
    bind(cancel2, &TViewEditInfoForm::btnCancel2Click);
    bind(ok2, &TViewEditInfoForm::btnOK2Click);
    bind(cancel3, &TViewEditInfoForm::btnCancel2Click);
    // Enter in a page's text box is that page's OK.
    connect(changedValue_, &QLineEdit::returnPressed, ok, &QPushButton::click);
    connect(valueName_, &QLineEdit::returnPressed, ok2, &QPushButton::click);
    connect(valueContent_, &QLineEdit::returnPressed, ok2, &QPushButton::click);
}

void TViewEditInfoForm::keyPressEvent(QKeyEvent* event) {
    // Escape on the change or add page cancels that page only; closing the
    // editor would drop every change collected on the list.
    if (event->matches(QKeySequence::Cancel) && pages_->currentIndex() != kMain) {
        run([this] { btnCancel2Click(); });
        return;
    }
    QDialog::keyPressEvent(event);
}

void TViewEditInfoForm::showPage(Page page) {
    pages_->setCurrentIndex(page);
    QWidget* first = page == kEditString ? static_cast<QWidget*>(changedValue_)
                     : page == kAddValue ? static_cast<QWidget*>(valueName_)
                                         : static_cast<QWidget*>(list_);
    first->setFocus(Qt::OtherFocusReason);
}

void TViewEditInfoForm::run(const std::function<void()>& handler) {
    runCommand(dialogs_, handler);
}

void TViewEditInfoForm::showFor(const std::string& rootCode, const std::string& keyPath) {
    model_.setTarget(rootCode, keyPath);
    // The window's own rectangle is centred, not its frame: the frame is not
    // known at the first opening and is at the next, which would move it.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));
    // Loaded once per opening, not on every activation: a restore from
    // minimised must not throw away what the user has collected.
    FormActivate();
    exec();
}

void TViewEditInfoForm::FormActivate() {
    showPage(kMain);
    run([this] { model_.load(); });
    showRows();
}

void TViewEditInfoForm::showRows() {
    list_->clear();
    QList<QTreeWidgetItem*> items;
    for (const InfoRow& row : model_.rows())
        items << new QTreeWidgetItem(QStringList{qt(row.name), qt(row.value)});
    list_->addTopLevelItems(items);
}

int TViewEditInfoForm::selectedRow() const {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TViewEditInfoForm::lsvStuffDblClick() {
    const int row = selectedRow();
    if (row < 0)
        return;
    editedRow_ = row;
    changedValue_->setText(qt(model_.rows()[static_cast<size_t>(row)].value));
    showPage(kEditString);
}

void TViewEditInfoForm::btnOKClick() {
    model_.change(editedRow_, changedValue_->text().toStdString());
    showRows();
    showPage(kMain);
}

void TViewEditInfoForm::btnCancel2Click() {
    showPage(kMain);
}

void TViewEditInfoForm::AddNewItem1Click() {
    valueName_->clear();
    valueContent_->clear();
    showPage(kAddValue);
}

void TViewEditInfoForm::btnOK2Click() {
    // A row without a name would be saved over the key's default value, which
    // no one adding an item means to do: the page asks for the name again.
    if (valueName_->text().isEmpty()) {
        dialogs_.showMessage(messages().get(Msg::msgValueNameNeeded));
        showPage(kAddValue);
        return;
    }
    model_.add(valueName_->text().toStdString(), valueContent_->text().toStdString());
    showRows();
    showPage(kMain);
}

void TViewEditInfoForm::Remove1Click() {
    const int row = selectedRow();
    if (row < 0)
        return;
    if (!dialogs_.askYesNo(messages().get(Msg::msgRemoveValueQuestion),
                           messages().get(Msg::msgConfirmCaption)))
        return;
    // Shown as the registry holds it whether or not the removal took.
    struct Redraw {
        TViewEditInfoForm* form;
        ~Redraw() { form->showRows(); }
    } redraw{this};
    model_.remove(row);
}

void TViewEditInfoForm::btnSaveClick() {
    const std::vector<std::string> failed = model_.save();
    if (refreshAndRefilter_)
        refreshAndRefilter_();
    if (failed.empty()) {
        accept();
        return;
    }
    // The editor stays open and shows what the registry really holds now.
    std::string names;
    for (const std::string& name : failed)
        names += (names.empty() ? "" : ", ") + shownValueName(name);
    const std::string reason = model_.saveFailure().empty()
                                   ? changeRefusal(model_.rootCode(), model_.keyPath())
                                   : model_.saveFailure();
    run([this] { model_.load(); });
    showRows();
    throw std::runtime_error(formatMessage(Msg::fmtValueNotWritten, {names, reason}));
}

void TViewEditInfoForm::btnCancelClick() {
    reject();
}

}  // namespace vornak::actions
