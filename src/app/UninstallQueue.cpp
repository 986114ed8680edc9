#include "app/UninstallQueue.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTableView>
#include <mutex>
#include <thread>

#include "app/MainWindow.h"
#include "app/QtText.h"
#include "app/QuietMarks.h"
#include "language/MessageCatalogue.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"
#include "registry/SilentAbort.h"

namespace vornak::app {

// The batch's way into the user interface thread, as the single runs have
// theirs: detached when the queue goes, so nothing is posted to a freed object.
class UninstallQueue::Channel final : public actions::BatchHost {
  public:
    explicit Channel(UninstallQueue* target) : target_(target) {}

    void detach() {
        std::lock_guard lock(mutex_);
        target_ = nullptr;
    }

    void runStarting(size_t index, size_t total, const std::string& caption) override {
        post([index, total, caption](UninstallQueue& queue) {
            // Formatted here, with the language in force when it is shown.
            const std::string text = actions::batchProgressText(index, total, caption);
            queue.window_.showInfo(text);
            queue.window_.showProgress(text);
        });
    }

    void finished(std::vector<actions::BatchResult> results) {
        post([results = std::move(results)](UninstallQueue& queue) mutable {
            queue.finished(std::move(results));
        });
    }

  private:
    template <class Fn>
    void post(Fn fn) {
        std::lock_guard lock(mutex_);
        if (!target_)
            return;
        UninstallQueue* target = target_;
        QMetaObject::invokeMethod(
            target, [target, fn = std::move(fn)]() mutable { fn(*target); }, Qt::QueuedConnection);
    }

    std::mutex mutex_;
    UninstallQueue* target_;
};

UninstallQueue::UninstallQueue(platform::Dialogs& dialogs, Window window, QObject* parent)
    : QObject(parent),
      dialogs_(dialogs),
      window_(std::move(window)),
      channel_(std::make_shared<Channel>(this)) {
    setObjectName(QStringLiteral("UninstallQueue"));
}

UninstallQueue::~UninstallQueue() {
    channel_->detach();
}

void UninstallQueue::start(const EntryList& rows, bool quiet) {
    if (running()) {
        window_.showInfo(messages().get(Msg::msgBatchBusy));
        return;
    }
    if (rows.empty())
        throw SilentAbort();
    batch_ = std::make_shared<actions::UninstallBatch>(
        actions::batchItems(rows, quiet, *platform::defaultFileSystem()),
        platform::defaultProcessLauncher());
    window_.stateChanged();
    // The thread owns what it uses; the window may be gone when it ends.
    std::thread([batch = batch_, channel = channel_] {
        std::vector<actions::BatchResult> results;
        try {
            results = batch->run(*channel);
        } catch (...) {
        }
        channel->finished(std::move(results));
    }).detach();
}

void UninstallQueue::stopAfterCurrent() {
    if (!batch_ || batch_->stopping())
        return;
    batch_->stopAfterCurrent();
    window_.showProgress(messages().get(Msg::msgBatchStopping));
    window_.stateChanged();
}

void UninstallQueue::finished(std::vector<actions::BatchResult> results) {
    batch_.reset();
    actions::markStillListed(results);
    window_.showProgress({});
    window_.refreshAndRefilter();
    window_.stateChanged();
    const std::string summary = actions::batchSummary(results);
    window_.showInfo(summary);
    dialogs_.showMessage(summary);
}

namespace {

EntryList selectedEntries(TForm1& form) {
    EntryList rows;
    const auto& visible = form.inventory().visible();
    for (int row : form.selectedRows())
        if (row >= 0 && static_cast<size_t>(row) < visible.size())
            rows.push_back(visible[static_cast<size_t>(row)]);
    return rows;
}

}  // namespace

UninstallQueue* installUninstallQueue(TForm1& form, std::function<void()> single) {
    auto* list = form.findChild<QTableView*>(QStringLiteral("ListView1"));
    auto* functions = form.findChild<QMenu*>(QStringLiteral("Funktioner"));
    auto* marks = new QuietMarks(form.inventory(), list->model(), list);
    list->setItemDelegateForColumn(0, marks);

    auto* quietly = new QAction(toQt(messages().get(Msg::msgUninstallQuietly)), &form);
    quietly->setObjectName(QStringLiteral("UninstallQuietly"));
    auto* stop = new QAction(toQt(messages().get(Msg::msgStopBatch)), &form);
    stop->setObjectName(QStringLiteral("StopBatch"));
    const QList<QAction*> existing = functions->actions();
    QAction* before = existing.size() > 1 ? existing[1] : nullptr;  // after Opdater Listen
    functions->insertActions(before, {quietly, stop});
    // The language may have changed since the menu was last looked at.
    QObject::connect(functions, &QMenu::aboutToShow, quietly, [quietly, stop] {
        quietly->setText(toQt(messages().get(Msg::msgUninstallQuietly)));
        stop->setText(toQt(messages().get(Msg::msgStopBatch)));
    });

    auto* info = form.findChild<QLabel*>(QStringLiteral("lblInfoBody"));
    auto update = std::make_shared<std::function<void()>>();
    auto* queue = new UninstallQueue(
        form.dialogs(),
        {[info](const std::string& text) { info->setText(toDisplayText(text)); },
         [&form](const std::string& text) {
             if (text.empty())
                 form.statusBar()->clearMessage();
             else
                 form.statusBar()->showMessage(toDisplayText(text));
         },
         [&form] { form.run([&form] { form.inventory().RefreshAndRefilter(); }); },
         [update] { (*update)(); }},
        &form);
    // Greyed out while none of the selected rows has a quiet command, and
    // while a queue runs; Stop only while one runs and has not been stopped.
    *update = [&form, marks, quietly, stop, queue] {
        bool any = false;
        for (int row : form.selectedRows())
            any = any || marks->hasQuietCommand(row);
        quietly->setEnabled(any && !queue->running());
        stop->setEnabled(queue->running() && !queue->stopping());
    };
    QObject::connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, queue,
                     [update] { (*update)(); });
    QObject::connect(list->model(), &QAbstractItemModel::modelReset, queue,
                     [update] { (*update)(); });
    (*update)();

    auto uninstallQuietly = [&form, queue] { queue->start(selectedEntries(form), true); };
    QObject::connect(quietly, &QAction::triggered, queue,
                     [&form, uninstallQuietly] { form.run(uninstallQuietly); });
    QObject::connect(stop, &QAction::triggered, queue, [queue] { queue->stopAfterCurrent(); });

    // Uninstall: one row as it always ran, several through the queue.
    auto uninstall = [&form, queue, single] {
        if (form.selectedRows().size() > 1)
            queue->start(selectedEntries(form), false);
        else
            single();
    };
    form.installCommand(QStringLiteral("Uninstall"), uninstall);
    form.installCommand(QStringLiteral("btnUninstall"), uninstall);
    return queue;
}

}  // namespace vornak::app
