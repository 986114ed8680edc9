// TForm1's lifecycle: the first activation restores the settings, the language,
// the Language menu and the hidden-entry filter; every activation rewrites the
// status bar; closing saves the settings and the hidden list.
#include <QCloseEvent>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>
#include <utility>

#include "app/FontCharset.h"
#include "app/MainWindow.h"
#include "app/QtText.h"
#include "language/LanguageEngine.h"
#include "language/LanguageSettings.h"
#include "language/MessageCatalogue.h"
#include "platform/Dialogs.h"
#include "registry/RegistryAccess.h"
#include "registry/SettingsWriter.h"

namespace vornak::app {
namespace {

// Settings reads use the root code in either spelling; writes "LM".
constexpr const char* kReadRoot = "lm";
constexpr const char* kWriteRoot = "LM";
constexpr std::chrono::milliseconds kSettingsPatience{1500};

}  // namespace

QRect TForm1::savedPlacement() const {
    // The window's own rectangle, never the frame's: before the window manager
    // has framed the window the two are the same, after it they differ, so only
    // this one comes back alike however soon the window is closed. What the
    // window system has not answered yet is saved as asked for: it is what the
    // window will have. A minimised window is saved where it will come back.
    QRect placement = isMinimized() ? normalGeometry() : geometry();
    if (askedPosition_)
        placement.moveTopLeft(*askedPosition_);
    if (askedSize_)
        placement.setSize(*askedSize_);
    return placement;
}

void TForm1::place(const QRect& placement) {
    // Qt takes the new place at once, but the window system may still report
    // the old one before its answer comes; a move and a resize are answered
    // each on its own.
    placedFrom_ = geometry();
    if (placement.topLeft() != placedFrom_.topLeft())
        askedPosition_ = placement.topLeft();
    if (placement.size() != placedFrom_.size())
        askedSize_ = placement.size();
    setGeometry(placement);
}

bool TForm1::event(QEvent* e) {
    // The answer to a placement is a move (or resize) away from where the
    // window stood before it: to the place asked for, or to what the window
    // manager made of it.
    if (e->spontaneous() && e->type() == QEvent::Move && pos() != placedFrom_.topLeft())
        askedPosition_.reset();
    if (e->spontaneous() && e->type() == QEvent::Resize && size() != placedFrom_.size())
        askedSize_.reset();
    const bool handled = QMainWindow::event(e);
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return handled;
}

void TForm1::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (firstShowSeen_)
        return;
    firstShowSeen_ = true;
    // Being shown counts as being activated, also where no window manager hands
    // out the focus: the start-up must not wait for one.
    QTimer::singleShot(0, this, [this] {
        if (!startupDone())
            FormActivate();
    });
}

void TForm1::FormActivate() {
    // A message box shown during the start-up (a broken language file) activates
    // the window again when it closes; that activation only writes the status.
    if (!startupDone() && !startupRunning_) {
        startupRunning_ = true;
        runStartupSettings();
        try {
            language_->BuildLanguageMenu();
        } catch (const std::exception&) {
            // The menu keeps what was added; nothing is said.
        }
        run([this] { inventory_.startHiddenFilter(); });
        reportUnreadHiddenList();
        checkMarksChanged();
        inventory_.setStartupDone();
        startupRunning_ = false;
        // What follows the start-up may ask a question: not from inside the
        // activation that is still being handled.
        if (!startupHooks_.empty())
            QTimer::singleShot(0, this, [this] {
                for (const auto& hook : std::exchange(startupHooks_, {}))
                    hook();
            });
    }
    writeStatusOnActivation();
}

void TForm1::reportUnreadHiddenList() {
    if (const std::string& why = inventory_.hiddenListError(); !why.empty())
        run([this, why] { dialogs_.showMessage(formatMessage(Msg::fmtHiddenListNotRead, {why})); });
}

void TForm1::runStartupSettings() {
    // The block ends at its first failure: a registry read that aborts or a
    // number that does not convert. What was applied before stays.
    try {
        ChangeLang(storedLanguage());
        if (ReadRegBool(kReadRoot, kSettingsKeyPath, "grid"))
            GridLinesClick();
        if (ReadRegString(kReadRoot, kSettingsKeyPath, "WindowState") == "Max") {
            setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        } else {
            const auto read = [](const char* name) {
                return parseWholeNumber(ReadRegString(kReadRoot, kSettingsKeyPath, name));
            };
            // The window's own edges and size, as saved.
            QRect placement = savedPlacement();
            if (const auto left = read("WindowLeft"))
                placement.moveLeft(*left);
            if (const auto top = read("WindowTop"))
                placement.moveTop(*top);
            if (const auto width = read("WindowWidth"))
                placement.setWidth(*width);
            if (const auto height = read("WindowHeight"))
                placement.setHeight(*height);
            place(placement);
        }
        const std::string fontName = ReadRegString(kReadRoot, kSettingsKeyPath, "FontName");
        if (!fontName.empty())
            setListFontName(toQt(fontName));
        const std::string charsetText = ReadRegString(kReadRoot, kSettingsKeyPath, "FontCharset");
        if (!charsetText.empty()) {
            const auto charset = parseWholeNumber(charsetText);
            // A character set is a byte; anything else is as broken as a word.
            if (!charset || *charset < 0 || *charset > 255)
                return;
            setListFontCharset(*charset);
        }
    } catch (const std::exception&) {
        // Silent: first run (no "grid" yet) or no rights to the settings key.
    }
}

void TForm1::writeStatusOnActivation() {
    inventory_.writeStatus();
}

void TForm1::ChangeLang(const std::string& name) {
    language_->ChangeLang(name);
}

void TForm1::closeEvent(QCloseEvent* e) {
    e->ignore();
    // The hidden list first: it is what a user loses should the close be cut
    // short. It goes to the user's own folder when the program's cannot take
    // it; when neither can, the error is shown and the program still closes, so
    // a user without write rights is never kept from ending it.
    run([this] { inventory_.saveHiddenFilter(); });
    saveSettings();
    e->accept();
}

namespace {

// A store that cannot be used at all has been reported when the program
// started; its failure to save the settings says nothing new.
bool storeUsable() {
    try {
        platform::settingsRegistryStore()->check();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

void TForm1::saveSettings() {
    std::vector<SettingValue> values{
        {"lang", language_->currentLanguage()},
        {"FontName", fromQt(listFont().family())},
        {"FontCharset", std::to_string(listCharset_)},
        {"grid", {}, true, gridLinesShown()},
        {"hidehidden", {}, true, inventory_.hiddenFilterOn()},
    };
    if (isMaximized()) {
        values.push_back({"WindowState", "Max"});
    } else {
        values.push_back({"WindowState", "Normal"});
        const QRect placement = savedPlacement();
        values.push_back({"WindowLeft", std::to_string(placement.x())});
        values.push_back({"WindowTop", std::to_string(placement.y())});
        values.push_back({"WindowWidth", std::to_string(placement.width())});
        values.push_back({"WindowHeight", std::to_string(placement.height())});
    }
    // One transaction, and a short wait: another program writing the store must
    // not hold the close up. A store that failed to write (a full disk) says
    // why; a user who may not write the settings key is not told, and can
    // still close.
    std::string failure;
    const auto status =
        WriteRegValues(kWriteRoot, kSettingsKeyPath, values, kSettingsPatience, &failure);
    if (status == platform::RegStatus::Busy)
        run([this] { dialogs_.showMessage(messages().get(Msg::msgSettingsNotSaved)); });
    else if (status == platform::RegStatus::StoreFailure && !failure.empty() && storeUsable())
        run([&] {
            dialogs_.showMessage(formatMessage(Msg::fmtSettingsNotSavedReason, {failure}));
        });
}

void TForm1::FontClick() {
    const QFont current = listFont();
    platform::FontChoice preset;
    preset.name = fromQt(current.family());
    preset.charset = listCharset_;
    preset.pixelHeight = current.pixelSize();
    preset.bold = current.bold();
    preset.italic = current.italic();
    const auto choice = dialogs_.chooseFont(preset);
    if (!choice)
        return;
    // Only the typeface and the character set are taken; the list keeps its
    // size, weight and style.
    setListFontName(toQt(choice->name));
    setListFontCharset(choice->charset);
}

void TForm1::setListFontName(const QString& name) {
    QFont font = list_->font();
    font.setFamily(name);
    list_->setFont(font);
    applyListFont();
}

void TForm1::setListFontCharset(int charset) {
    listCharset_ = charset;
    applyListFont();
}

void TForm1::applyListFont() {
    const QFont font = list_->font();
    list_->verticalHeader()->setMinimumSectionSize(1);
    list_->verticalHeader()->setDefaultSectionSize(std::max(18, QFontMetrics(font).height() + 4));
    // The hidden-filter editor's list follows the main list's typeface.
    if (QWidget* editor = findChild<QWidget*>(QStringLiteral("HiddenFilterEditor"))) {
        if (QWidget* box = editor->findChild<QWidget*>(QStringLiteral("ListBox1"))) {
            QFont boxFont = box->font();
            boxFont.setFamily(font.family());
            box->setFont(boxFont);
        }
    }
}

}  // namespace vornak::app
