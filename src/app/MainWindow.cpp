#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#include <algorithm>

#include "app/ApplicationInfo.h"
#include "app/EmptyListHint.h"
#include "app/Icons.h"
#include "app/InventoryModel.h"
#include "app/QtText.h"
#include "app/WindowLanguage.h"
#include "inventory/EmptyRegistryHint.h"
#include "inventory/HiddenFilterEditor.h"
#include "language/LanguageEngine.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "registry/CommandDispatch.h"

namespace vornak::app {
namespace {

// The list takes several rows from the user's own clicks and keys; a row the
// program selects (selectRow) is selected alone, whatever keys are held then,
// as it was before the list took several.
class ListView final : public QTableView {
  public:
    using QTableView::QTableView;

  protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override {
        if (!event)
            return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
        return QTableView::selectionCommand(index, event);
    }
};

constexpr int kDesignWidth = 564;
constexpr int kDesignHeight = 444;
constexpr int kPanelWidth = 185;
constexpr int kButtonBarHeight = 60;
constexpr int kStatusPanelWidth = 550;
constexpr int kColumnWidth = 350;
const QColor kPanelBlue(122, 150, 223);
const QColor kBoxBlue(216, 228, 248);

const char* const kWelcome =
    "Velkommen til Vornak Uninstaller! Du vil løbende få information ved at kigge i dette "
    "felt. God fornøjelse :o)";

QFrame* makeBox(QWidget* parent, const char* name) {
    auto* box = new QFrame(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setFrameShape(QFrame::StyledPanel);
    box->setAutoFillBackground(true);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, kBoxBlue);
    box->setPalette(palette);
    return box;
}

}  // namespace

TForm1::TForm1(platform::Dialogs& dialogs, SplashHooks splash, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), splash_(std::move(splash)), inventory_(this) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(toQt(applicationTitle()));
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(13);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);

    inventory_.setFileSystem(platform::defaultFileSystem());
    languageSink_ = std::make_unique<WindowLanguage>(*this);
    language_ = std::make_unique<LanguageEngine>(*languageSink_, platform::defaultFileSystem());

    buildMenus();

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    buildButtonBar(central, column);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    QWidget* leftPanel = buildLeftPanel(central);
    row->addWidget(leftPanel);
    buildList(central);
    row->addWidget(list_, 1);
    column->addLayout(row, 1);
    setCentralWidget(central);
    buildPopupMenu();
    setUpKeyboard(leftPanel->findChild<QPushButton*>(QStringLiteral("FilterRyd")));

    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->setSizeGripEnabled(true);
    statusPanel_ = new QLabel(statusBar());
    statusPanel_->setObjectName(QStringLiteral("StatusPanel0"));
    statusPanel_->setMinimumWidth(kStatusPanelWidth);
    statusBar()->addWidget(statusPanel_);

    resize(kDesignWidth, kDesignHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->availableGeometry();
        move(desktop.center() - QPoint(kDesignWidth / 2, kDesignHeight / 2));
    }

    // FormCreate: the build at creation time, with the splash screen's progress.
    run([this] { inventory_.RefreshInventory(); });
}

TForm1::~TForm1() {
    // The inventory outlives the widgets by member order; keep it from calling
    // back into a half-destroyed window.
    inventory_.setView(nullptr);
}

QAction* TForm1::addCommand(QMenu* menu, const char* name, const QString& caption,
                            const QKeySequence& shortcut, int image,
                            std::function<void()> handler) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    if (image >= 0)
        action->setIcon(menuImages()[static_cast<size_t>(image)]);
    if (handler) {
        connect(action, &QAction::triggered, this, [this, handler = std::move(handler)] {
            run(handler);
            checkMarksChanged();
        });
    }
    if (menu)
        menu->addAction(action);
    return action;
}

void TForm1::disableUntilBuilt(QAction* action) {
    action->setEnabled(false);
}

void TForm1::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("Toolbar"));
    auto submenu = [&](const char* name, const QString& title) {
        QMenu* menu = bar->addMenu(title);
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };

    QMenu* filer = submenu("Filer", QStringLiteral("&Filer"));
    disableUntilBuilt(
        addCommand(filer, "EksporterListe", QStringLiteral("&Eksporter Liste"), {}, -1, nullptr));
    addCommand(filer, "Afslut", QStringLiteral("&Afslut"), QKeySequence(Qt::CTRL | Qt::Key_W),
               kImageExit, [this] { AfslutClick(); });

    QMenu* funktioner = submenu("Funktioner", QStringLiteral("F&unktioner"));
    addCommand(funktioner, "OpdaterListen", QStringLiteral("&Opdater Listen"),
               QKeySequence(Qt::Key_F5), kImageRefresh, [this] { OpdaterListenClick(); });
    funktioner->addSeparator();
    disableUntilBuilt(addCommand(funktioner, "SoegEfterOpdateringer",
                                 QStringLiteral("Søg Efter O&pdateringer"),
                                 QKeySequence(Qt::Key_F6), kImageUpdateCheck, nullptr));

    QMenu* filtrer = submenu("Filtrer", QStringLiteral("F&iltrer"));
    deadOnly_ = addCommand(filtrer, "kundoedelinks", QStringLiteral("Vis kun 'døde links'"), {},
                           kImageDeadEntry, [this] { inventory_.kundoedelinksClick(); });
    crapOnly_ = addCommand(filtrer, "kuncrap", QStringLiteral("Vis kun \"crapware\""), {},
                           kImageAdware, [this] { inventory_.kuncrapClick(); });
    filtrer->addSeparator();
    hideHidden_ = addCommand(filtrer, "VisIkkeSkjulte", QStringLiteral("Vis ikke skjulte 'links'"),
                             {}, -1, [this] { inventory_.VisIkkeSkjulteClick(); });
    for (QAction* action : {deadOnly_, crapOnly_, hideHidden_})
        action->setCheckable(true);

    QMenu* indstillinger = submenu("Indstillinger", QStringLiteral("&Indstillinger"));
    gridLines_ =
        addCommand(indstillinger, "GridLines", QStringLiteral("Vis Gitter Linier"),
                   QKeySequence(Qt::Key_F7), kImageGridLines, [this] { GridLinesClick(); });
    gridLines_->setCheckable(true);
    indstillinger->addSeparator();
    addCommand(indstillinger, "RedigerSkjulFilter", QStringLiteral("Rediger Skjul-Filteret"), {},
               -1, [this] { RedigerSkjulFilterClick(); });
    indstillinger->addSeparator();
    addCommand(indstillinger, "Font", QStringLiteral("Vælg Font (kun listen)"), {}, -1,
               [this] { FontClick(); });

    languageMenu_ = submenu("Sprog", QStringLiteral("&Sprog"));

    QMenu* hjaelp = submenu("Hjaelp", QStringLiteral("&Hjælp"));
    disableUntilBuilt(addCommand(hjaelp, "Hjaelp_hjaelp", QStringLiteral("Hjælp"),
                                 QKeySequence(Qt::Key_F1), kImageHelp, nullptr));
    hjaelp->addSeparator();
    disableUntilBuilt(addCommand(hjaelp, "Website", QStringLiteral("Vornak Software"),
                                 QKeySequence(Qt::Key_F8), kImageWebSite, nullptr));
    hjaelp->addSeparator();
    disableUntilBuilt(
        addCommand(hjaelp, "Om", QStringLiteral("&Om"), QKeySequence(Qt::Key_F10), -1, nullptr));

    // The export dialog's file-type filter lives here until the export command
    // shows the dialog; the language sets it like any other text.
    auto* saveDialog = new QObject(this);
    saveDialog->setObjectName(QStringLiteral("SaveDialog1"));
    saveDialog->setProperty("filter",
                            QStringLiteral("Text Filer (*.txt)|*.txt|Alle Filer (*.*)|*.*"));
}

void TForm1::buildButtonBar(QWidget* parent, QBoxLayout* layout) {
    auto* bar = new QWidget(parent);
    bar->setObjectName(QStringLiteral("ButtonBar"));
    bar->setFixedHeight(kButtonBarHeight);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(2, 0, 2, 0);
    row->setSpacing(2);
    struct Button {
        const char* name;
        const char* caption;
        ButtonPicture picture;
    };
    const Button buttons[] = {
        {"btnUninstall", "Uninstall", kPictureUninstall},
        {"btnDelete", "S&let", kPictureDelete},
        {"btnAnalyze", "&Analyser", kPictureAnalyze},
        {"btnHelp", "Hjæl&p", kPictureHelp},
    };
    for (const Button& b : buttons) {
        auto* button = new QToolButton(bar);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setText(QString::fromUtf8(b.caption));
        button->setIcon(QIcon(buttonPicture(b.picture)));
        button->setIconSize(QSize(32, 32));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setFixedHeight(kButtonBarHeight);
        button->setMinimumWidth(72);
        // Their commands (uninstall, delete, analysis wizard, help) come with
        // their own windows and logic.
        button->setEnabled(false);
        row->addWidget(button);
    }
    row->addStretch(1);
    layout->addWidget(bar);
}

QWidget* TForm1::buildLeftPanel(QWidget* parent) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(QStringLiteral("LeftPanel"));
    panel->setFixedWidth(kPanelWidth);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, kPanelBlue);
    panel->setPalette(palette);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(10);

    QFrame* filter = makeBox(panel, "FilterPanel");
    auto* filterColumn = new QVBoxLayout(filter);
    filterColumn->setContentsMargins(6, 6, 6, 6);
    filterBox_ = new QLineEdit(filter);
    filterBox_->setObjectName(QStringLiteral("FilterBox"));
    auto* clear = new QPushButton(QStringLiteral("Ryd"), filter);
    clear->setObjectName(QStringLiteral("FilterRyd"));
    filterColumn->addWidget(filterBox_);
    filterColumn->addWidget(clear);
    connect(filterBox_, &QLineEdit::textChanged, this, [this](const QString& text) {
        run([&] { inventory_.setFilterText(fromQt(text)); });
        checkMarksChanged();
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        run([this] { inventory_.FilterRydClick(); });
        checkMarksChanged();
    });

    QFrame* info = makeBox(panel, "InfoPanel");
    auto* infoColumn = new QVBoxLayout(info);
    infoColumn->setContentsMargins(6, 4, 6, 6);
    auto* heading = new QLabel(QStringLiteral("Info"), info);
    heading->setObjectName(QStringLiteral("lblInfo"));
    QFont headingFont = heading->font();
    headingFont.setPixelSize(16);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    auto* body = new QLabel(QString::fromUtf8(kWelcome), info);
    body->setObjectName(QStringLiteral("lblInfoBody"));
    body->setWordWrap(true);
    body->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    infoColumn->addWidget(heading);
    infoColumn->addWidget(body);

    column->addWidget(filter);
    column->addWidget(info);
    column->addStretch(1);
    return panel;
}

void TForm1::buildList(QWidget* parent) {
    list_ = new ListView(parent);
    list_->setObjectName(QStringLiteral("ListView1"));
    model_ = new InventoryModel(inventory_, list_);
    model_->setHeading(QStringLiteral("Program Navn"));
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(false);
    list_->setWordWrap(false);
    list_->setIconSize(QSize(16, 16));
    list_->setTabKeyNavigation(false);
    list_->verticalHeader()->hide();
    QHeaderView* header = list_->horizontalHeader();
    header->setSectionsClickable(false);
    header->setSortIndicatorShown(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->resizeSection(0, kColumnWidth);
    emptyHint_ = new EmptyListHint(list_);
    applyListFont();
}

void TForm1::buildPopupMenu() {
    auto* popup = new QMenu(this);
    popup->setObjectName(QStringLiteral("TBXPopupMenu1"));
    QAction* uninstall = addCommand(popup, "Uninstall", QStringLiteral("Uninstall"),
                                    QKeySequence(Qt::Key_Return), kImageUninstall, nullptr);
    uninstall->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    popup->addSeparator();
    QAction* showInfo = addCommand(popup, "ShowEditInfo", QStringLiteral("Vis/Rediger Info"),
                                   QKeySequence(Qt::CTRL | Qt::Key_I), -1, nullptr);
    QAction* hide = addCommand(popup, "Skjul", QStringLiteral("Skjul"), QKeySequence(Qt::Key_F2),
                               -1, [this] { SkjulClick(); });
    popup->addSeparator();
    QAction* remove = addCommand(popup, "Slet", QStringLiteral("Slet"),
                                 QKeySequence(Qt::Key_Delete), kImageDelete, nullptr);
    for (QAction* action : {uninstall, showInfo, remove})
        disableUntilBuilt(action);
    // The pop-up's keys belong to the list: Del in the filter box deletes a letter.
    for (QAction* action : {uninstall, showInfo, hide, remove}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        list_->addAction(action);
    }
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this,
            [this, popup](const QPoint& at) { popup->popup(list_->viewport()->mapToGlobal(at)); });
}

bool TForm1::run(const std::function<void()>& command) {
    return runCommand(dialogs_, command);
}

bool TForm1::installCommand(const QString& name, std::function<void()> handler) {
    auto wrapped = [this, handler = std::move(handler)] {
        run(handler);
        checkMarksChanged();
    };
    if (auto* action = findChild<QAction*>(name)) {
        connect(action, &QAction::triggered, this, wrapped);
        action->setEnabled(true);
        return true;
    }
    if (auto* button = findChild<QToolButton*>(name)) {
        connect(button, &QToolButton::clicked, this, wrapped);
        button->setEnabled(true);
        return true;
    }
    return false;
}

void TForm1::AfslutClick() {
    close();
}

void TForm1::OpdaterListenClick() {
    inventory_.RefreshInventory();
}

void TForm1::SkjulClick() {
    inventory_.SkjulClick(selectedRow());
}

void TForm1::RedigerSkjulFilterClick() {
    auto* editor = dynamic_cast<THiddenFilterEditor*>(
        findChild<QDialog*>(QStringLiteral("HiddenFilterEditor")));
    if (editor)
        editor->exec();
}

void TForm1::GridLinesClick() {
    const bool on = !list_->showGrid();
    gridLines_->setChecked(on);
    list_->setShowGrid(on);
}

bool TForm1::gridLinesShown() const {
    return list_->showGrid();
}

QFont TForm1::listFont() const {
    return list_->font();
}

int TForm1::selectedRow() const {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

std::vector<int> TForm1::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString TForm1::statusText() const {
    return statusPanel_->text();
}

void TForm1::visibleListChanged() {
    model_->refresh();
    updateEmptyListHint();
}

namespace {

// A menu's or command's caption as the user reads it: without the access key's mark.
QString shownCaption(QString caption) {
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(u'&');
    caption.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return caption;
}

}  // namespace

QString TForm1::emptyListHintText() const {
    if (!inventory_.registryEmpty())
        return {};
    EmptyRegistryContext context = currentEmptyRegistryContext(property("showsExample").toBool());
    if (const auto* prefixes = findChild<QMenu*>(QStringLiteral("WinePrefix")))
        context.prefixChoice = commandPath("Indstillinger", prefixes->title());
    if (const auto* example = findChild<QAction*>(QStringLiteral("OpenExample")))
        context.exampleCommand = commandPath("Hjaelp", example->text());
    return toQt(emptyRegistryHint(context));
}

std::string TForm1::commandPath(const char* menuName, const QString& caption) const {
    const auto* menu = findChild<QMenu*>(QString::fromLatin1(menuName));
    if (!menu)
        return {};
    return fromQt(shownCaption(menu->title()) + QStringLiteral(" > ") + shownCaption(caption));
}

void TForm1::updateEmptyListHint() {
    if (emptyHint_)
        emptyHint_->say(emptyListHintText());
}

void TForm1::whenLanguageApplied(std::function<void()> hook) {
    languageHooks_.push_back(std::move(hook));
}

void TForm1::whenStartedUp(std::function<void()> hook) {
    startupHooks_.push_back(std::move(hook));
}

void TForm1::languageApplied() {
    for (const auto& hook : languageHooks_)
        hook();
    updateEmptyListHint();
}

void TForm1::showFilterText(const std::string& text) {
    const QString shown = toQt(text);
    if (filterBox_->text() == shown)
        return;
    const QSignalBlocker quiet(filterBox_);
    filterBox_->setText(shown);
}

void TForm1::showStatus(const std::string& text) {
    statusPanel_->setText(toDisplayText(text));
}

void TForm1::checkMarksChanged() {
    if (!deadOnly_)
        return;
    const QSignalBlocker a(deadOnly_), b(crapOnly_), c(hideHidden_);
    deadOnly_->setChecked(inventory_.deadChecked());
    crapOnly_->setChecked(inventory_.crapChecked());
    hideHidden_->setChecked(inventory_.hiddenFilterOn());
}

void TForm1::setSplashMaximum(int maximum) {
    if (splash_.setMaximum)
        splash_.setMaximum(maximum);
}

void TForm1::stepSplash() {
    if (splash_.step)
        splash_.step();
}

}  // namespace vornak::app
