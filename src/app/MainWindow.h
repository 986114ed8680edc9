// The main window TForm1: menu bar, button bar, filter and info panel, the
// visible list and the status bar. Its commands forward to the inventory logic;
// its first activation restores the settings and the language, its close saves
// them. It is also what the language engine and the inventory draw on.
#pragma once

#include <QFont>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "inventory/Inventory.h"

class QAction;
class QBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;
class QToolButton;

namespace vornak {
class LanguageEngine;
namespace platform {
class Dialogs;
}
}  // namespace vornak

namespace vornak::app {

class EmptyListHint;
class InventoryModel;
class WindowLanguage;

class TForm1 : public QMainWindow, public InventoryView {
  public:
    // The splash screen's progress bar, driven while the inventory is first built.
    struct SplashHooks {
        std::function<void(int)> setMaximum;
        std::function<void()> step;
    };

    // Builds the window and the inventory (RefreshInventory runs here).
    explicit TForm1(platform::Dialogs& dialogs, SplashHooks splash = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    Inventory& inventory() { return inventory_; }
    platform::Dialogs& dialogs() { return dialogs_; }
    LanguageEngine& language() { return *language_; }

    // ---- Handlers ----
    void FormActivate();
    void AfslutClick();
    void GridLinesClick();
    void FontClick();
    void OpdaterListenClick();
    void SkjulClick();
    void RedigerSkjulFilterClick();
    void ChangeLang(const std::string& name);

    // ---- What tests and the other windows look at ----
    bool startupDone() const { return inventory_.startupDone(); }
    bool gridLinesShown() const;
    QFont listFont() const;
    int listFontCharset() const { return listCharset_; }
    // Row of the visible list that is selected, -1 when none.
    int selectedRow() const;
    // Every selected row of the visible list, in list order.
    std::vector<int> selectedRows() const;
    QString statusText() const;
    // Runs `command` through the command dispatch (silent abort, error box).
    bool run(const std::function<void()>& command);
    // Tells the user, in a message box, when hidden.dat could not be read.
    void reportUnreadHiddenList();
    // Gives a command that waits for its subsystem (a menu or pop-up command, or
    // a button of the button bar, by objectName) its handler and enables it.
    // The handler runs through the command dispatch. False when no such command.
    bool installCommand(const QString& name, std::function<void()> handler);
    // Gives the list font to the windows whose lists follow it (the
    // hidden-filter editor); the main block calls it once they exist.
    void applyListFont();
    // Runs `hook` each time a language has been applied to the window.
    void whenLanguageApplied(std::function<void()> hook);
    // Runs `hook` once the first activation's start-up is over, outside it.
    void whenStartedUp(std::function<void()> hook);
    // The language engine has applied a language to every window.
    void languageApplied();
    // The list says why it is empty when the registry holds no registration,
    // naming the ways to fill it that the window has (the Wine prefix
    // submenu, the example command); otherwise it says nothing.
    void updateEmptyListHint();
    QString emptyListHintText() const;
    // "Menu > Command" as the user reads them in the menu bar now; empty when
    // the window has no menu of that objectName.
    std::string commandPath(const char* menuName, const QString& caption) const;

    // ---- InventoryView ----
    void visibleListChanged() override;
    void showFilterText(const std::string& text) override;
    void showStatus(const std::string& text) override;
    void checkMarksChanged() override;
    void setSplashMaximum(int maximum) override;
    void stepSplash() override;

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;  // FormCloseQuery

  private:
    friend class WindowLanguage;

    void buildMenus();
    void buildButtonBar(QWidget* parent, QBoxLayout* layout);
    QWidget* buildLeftPanel(QWidget* parent);
    void buildList(QWidget* parent);
    void buildPopupMenu();
    QAction* addCommand(QMenu* menu, const char* name, const QString& caption,
                        const QKeySequence& shortcut, int image, std::function<void()> handler);
    void disableUntilBuilt(QAction* action);
    void setUpKeyboard(QWidget* clearButton);
    void selectCurrentRow();

    void runStartupSettings();
    void saveSettings();
    void setListFontName(const QString& name);
    void setListFontCharset(int charset);
    void writeStatusOnActivation();
    // Window placement in the saved terms: the window's own edges and size.
    QRect savedPlacement() const;
    void place(const QRect& placement);

    platform::Dialogs& dialogs_;
    SplashHooks splash_;
    Inventory inventory_;
    std::unique_ptr<WindowLanguage> languageSink_;
    std::unique_ptr<LanguageEngine> language_;
    InventoryModel* model_ = nullptr;

    QMenu* languageMenu_ = nullptr;
    QTableView* list_ = nullptr;
    QLineEdit* filterBox_ = nullptr;
    QLabel* statusPanel_ = nullptr;
    QAction* gridLines_ = nullptr;
    QAction* deadOnly_ = nullptr;
    QAction* crapOnly_ = nullptr;
    QAction* hideHidden_ = nullptr;
    EmptyListHint* emptyHint_ = nullptr;
    std::vector<std::function<void()>> languageHooks_;
    std::vector<std::function<void()>> startupHooks_;

    int listCharset_ = 0;
    bool startupRunning_ = false;
    bool firstShowSeen_ = false;
    // A placement the window system has not answered yet.
    std::optional<QPoint> askedPosition_;
    std::optional<QSize> askedSize_;
    QRect placedFrom_;
};

}  // namespace vornak::app
