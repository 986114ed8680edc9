// The main window's entry commands: Uninstall, Slet and Vis/Rediger Info on the
// selected row. Owns the hand-over from the uninstall runners' threads to the
// user interface thread: their updates arrive as queued calls on this object,
// so once it is gone (the window closed) they are dropped, never run.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "language/MessageCatalogue.h"

namespace vornak {

class Inventory;
namespace platform {
class Dialogs;
}

namespace actions {

class TViewEditInfoForm;

class EntryCommands : public QObject {
  public:
    // What the commands need of the main window.
    struct MainWindow {
        std::function<int()> selectedRow;                  // -1 when none
        std::function<void(const std::string&)> showInfo;  // lblInfoBody
        std::function<void()> refreshAndRefilter;          // through its command dispatch
    };

    EntryCommands(Inventory& inventory, platform::Dialogs& dialogs, MainWindow window,
                  QObject* parent);
    ~EntryCommands() override;

    void setEditor(TViewEditInfoForm* editor) { editor_ = editor; }

    // Each may raise the silent abort (no row selected); run them through the
    // window's command dispatch.
    void UninstallClick();
    void btnUninstallClick() { UninstallClick(); }
    void SletClick();
    void btnDeleteClick() { SletClick(); }
    void ShowEditInfoClick();

    // Runs RefreshAndRefilter now, or after the one in progress: two never interleave.
    void refreshAndRefilter();

  private:
    class Channel;

    Inventory& inventory_;
    platform::Dialogs& dialogs_;
    MainWindow window_;
    TViewEditInfoForm* editor_ = nullptr;
    std::shared_ptr<Channel> channel_;
    bool refreshing_ = false;
    bool refreshPending_ = false;
};

}  // namespace actions
}  // namespace vornak
