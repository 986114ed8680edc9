#include "actions/EntryCommands.h"

#include <mutex>

#include "actions/EntryDeletion.h"
#include "actions/UninstallRunner.h"
#include "actions/ViewEditInfoForm.h"
#include "inventory/Inventory.h"
#include "platform/ProcessLauncher.h"
#include "registry/SilentAbort.h"

namespace vornak::actions {

// The runners' way into the user interface thread. The worker threads keep it
// alive; the commands object detaches it when it goes, under the lock, so no
// worker ever posts to a freed object.
class EntryCommands::Channel final : public RunnerHost {
  public:
    explicit Channel(EntryCommands* target) : target_(target) {}

    void detach() {
        std::lock_guard lock(mutex_);
        target_ = nullptr;
    }

    void showRunStatus(Msg role, const std::string& displayName) override {
        post([role, displayName](EntryCommands& commands) {
            // Formatted here, on the user interface thread, with the language in
            // force when the text is shown.
            commands.window_.showInfo(runStatusText(role, displayName));
        });
    }

    void refreshAndRefilter() override {
        post([](EntryCommands& commands) { commands.refreshAndRefilter(); });
    }

  private:
    template <class Fn>
    void post(Fn fn) {
        std::lock_guard lock(mutex_);
        if (!target_)
            return;
        EntryCommands* target = target_;
        // Queued on the target: Qt drops the call if the target is destroyed first.
        QMetaObject::invokeMethod(
            target, [target, fn = std::move(fn)] { fn(*target); }, Qt::QueuedConnection);
    }

    std::mutex mutex_;
    EntryCommands* target_;
};

EntryCommands::EntryCommands(Inventory& inventory, platform::Dialogs& dialogs, MainWindow window,
                             QObject* parent)
    : QObject(parent),
      inventory_(inventory),
      dialogs_(dialogs),
      window_(std::move(window)),
      channel_(std::make_shared<Channel>(this)) {
    setObjectName(QStringLiteral("EntryCommands"));
}

EntryCommands::~EntryCommands() {
    channel_->detach();
}

void EntryCommands::UninstallClick() {
    actions::UninstallClick(inventory_, window_.selectedRow(), platform::defaultProcessLauncher(),
                            channel_);
}

void EntryCommands::SletClick() {
    actions::SletClick(inventory_, window_.selectedRow(), dialogs_);
}

void EntryCommands::ShowEditInfoClick() {
    const int row = window_.selectedRow();
    const auto& rows = inventory_.visible();
    if (row < 0 || static_cast<size_t>(row) >= rows.size() || !editor_)
        throw SilentAbort();
    const UninstallEntry& entry = rows[static_cast<size_t>(row)];
    editor_->showFor(entry.rootCode, entry.keyPath);
}

void EntryCommands::refreshAndRefilter() {
    if (refreshing_) {
        refreshPending_ = true;
        return;
    }
    refreshing_ = true;
    do {
        refreshPending_ = false;
        window_.refreshAndRefilter();
    } while (refreshPending_);
    refreshing_ = false;
}

}  // namespace vornak::actions
