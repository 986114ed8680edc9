#include "app/PrefixChoice.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <algorithm>
#include <vector>

#include "app/MainWindow.h"
#include "app/QtText.h"
#include "app/StoreCheck.h"
#include "language/MessageCatalogue.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"
#include "platform/WinePrefix.h"
#include "registry/RegistryAccess.h"

namespace vornak::app {
namespace {

constexpr const char* kPrefixSetting = "WinePrefix";

// Whether the settings hold a choice at all; the machine's own store is the
// empty one. Reading must not create the settings key.
bool choiceRemembered() {
    const auto store = platform::settingsRegistryStore();
    const auto accessor = store->accessor();
    std::unique_ptr<platform::RegKey> key;
    if (accessor->openKey(platform::RegRoot::LocalMachine, "SOFTWARE\\Vornak\\Uninstaller",
                          platform::RegAccess::Read, key) != platform::RegStatus::Ok)
        return false;
    platform::RegValue value;
    return accessor->queryValue(*key, kPrefixSetting, value) == platform::RegStatus::Ok;
}

}  // namespace

PrefixChoice::PrefixChoice(TForm1& form) : QObject(&form), form_(form) {
    setObjectName(QStringLiteral("PrefixChoice"));
    auto* settings = form.findChild<QMenu*>(QStringLiteral("Indstillinger"));
    if (!settings)
        return;
    settings->addSeparator();
    menu_ = settings->addMenu(toQt(messages().get(Msg::msgWinePrefixMenu)));
    menu_->setObjectName(QStringLiteral("WinePrefix"));
    // The language may have changed since the menu was last looked at.
    connect(settings, &QMenu::aboutToShow, this,
            [this] { menu_->setTitle(toQt(messages().get(Msg::msgWinePrefixMenu))); });
    connect(menu_, &QMenu::aboutToShow, this, [this] { fillMenu(); });
    form.whenLanguageApplied(
        [this] { menu_->setTitle(toQt(messages().get(Msg::msgWinePrefixMenu))); });
    form.whenStartedUp([this] { offerTheOnePrefix(); });
    fillMenu();
}

void PrefixChoice::offerTheOnePrefix() {
    if (!menu_ || !form_.inventory().registryEmpty() || !platform::activeWinePrefix().empty() ||
        choiceRemembered())
        return;
    // With several the list's own text points at the submenu: which one is
    // the user's to say.
    const std::vector<std::string> found = platform::findWinePrefixes();
    if (found.size() != 1)
        return;
    const std::string question =
        messageText(Msg::fmtManageOnePrefix,
                    {found.front(), form_.commandPath("Indstillinger", menu_->title())});
    if (form_.dialogs().askYesNo(question, messages().get(Msg::msgWinePrefixMenu)))
        choose(found.front());
    else
        WriteRegString("LM", kSettingsKeyPath, kPrefixSetting, std::string());
}

void PrefixChoice::fillMenu() {
    if (!menu_)
        return;
    menu_->clear();
    for (QActionGroup* old : menu_->findChildren<QActionGroup*>())
        delete old;
    auto* group = new QActionGroup(menu_);
    const std::string active = platform::activeWinePrefix();
    std::vector<std::string> choices{std::string()};
    for (const std::string& dir : platform::findWinePrefixes())
        choices.push_back(dir);
    if (!active.empty() && std::find(choices.begin(), choices.end(), active) == choices.end())
        choices.push_back(active);
    for (const std::string& dir : choices) {
        const QString text =
            dir.empty() ? toQt(messages().get(Msg::msgMachineRegistry)) : toQt(dir);
        QAction* item = menu_->addAction(text);
        item->setObjectName(dir.empty() ? QStringLiteral("WinePrefixMachine")
                                        : QStringLiteral("WinePrefixItem"));
        item->setData(toQt(dir));
        item->setCheckable(true);
        item->setChecked(dir == active);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, dir] { choose(dir); });
        if (dir.empty())
            menu_->addSeparator();
    }
}

void PrefixChoice::choose(const std::string& dir) {
    Inventory& inventory = form_.inventory();
    // The list being left keeps its own hidden entries.
    form_.run([&inventory] { inventory.saveHiddenFilter(); });
    platform::useWinePrefix(dir);
    inventory.setFileSystem(platform::defaultFileSystem());
    WriteRegString("LM", kSettingsKeyPath, kPrefixSetting, dir);

    const bool hiddenWasOn = inventory.hiddenFilterOn();
    inventory.clearHiddenFilterMark();
    form_.run([&inventory] { inventory.RefreshAndRefilter(); });
    // The new list's own hidden entries, the filter as the user had it.
    form_.run([&inventory] { inventory.startHiddenFilter(); });
    form_.reportUnreadHiddenList();
    if (inventory.hiddenFilterOn() != hiddenWasOn)
        form_.run([&inventory] { inventory.VisIkkeSkjulteClick(); });
    form_.checkMarksChanged();
    inventory.writeStatus();
    // Only the marks: the item being triggered must outlive its own signal.
    if (menu_)
        for (QAction* item : menu_->actions())
            if (item->isCheckable())
                item->setChecked(item->data().toString() == toQt(dir));
    // As at the start: a prefix file it cannot read, or Wine running there.
    reportDamagedRegistryStore(form_.dialogs());
}

void restoreWinePrefix() {
    if (!platform::configuredWinePrefix().empty())
        return;
    std::string dir;
    try {
        dir = ReadRegString("LM", kSettingsKeyPath, kPrefixSetting);
    } catch (const SilentAbort&) {
        return;
    }
    if (!dir.empty() && platform::isWinePrefix(dir))
        platform::useWinePrefix(dir);
}

}  // namespace vornak::app
