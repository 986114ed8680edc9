// The main window's queue of uninstalls: several selected rows, or a quiet
// uninstall, run one after another on a worker thread (UninstallBatch). The
// info panel and the status bar say which one runs ("2 of 5: <name>"); the
// user can stop the queue after the running one; at the end the list is
// rebuilt once and a summary says how each one ended. Its menu commands sit
// in the Functions menu: Uninstall quietly and Stop after the current one.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "actions/UninstallBatch.h"

class QAction;

namespace vornak::platform {
class Dialogs;
}

namespace vornak::app {

class TForm1;
class QuietMarks;

class UninstallQueue : public QObject {
  public:
    // What the queue shows and asks of the window.
    struct Window {
        std::function<void(const std::string&)> showInfo;      // the info panel
        std::function<void(const std::string&)> showProgress;  // status bar; empty clears
        std::function<void()> refreshAndRefilter;
        std::function<void()> stateChanged;  // running or stopping changed
    };

    UninstallQueue(platform::Dialogs& dialogs, Window window, QObject* parent);
    ~UninstallQueue() override;

    // Runs `rows` one after another (their quiet commands when `quiet`).
    // While a queue runs, says so and starts nothing.
    void start(const EntryList& rows, bool quiet);
    void stopAfterCurrent();
    bool running() const { return batch_ != nullptr; }
    bool stopping() const { return batch_ && batch_->stopping(); }

  private:
    class Channel;
    void finished(std::vector<actions::BatchResult> results);

    platform::Dialogs& dialogs_;
    Window window_;
    std::shared_ptr<Channel> channel_;
    std::shared_ptr<actions::UninstallBatch> batch_;
};

// Puts the queue into `form`: "Uninstall quietly" and "Stop after the current
// uninstall" into its Functions menu, the quiet mark into its list, and makes
// Uninstall (`single`, the one-row command) go through the queue when several
// rows are selected. Returns the queue, owned by the form.
UninstallQueue* installUninstallQueue(TForm1& form, std::function<void()> single);

}  // namespace vornak::app
