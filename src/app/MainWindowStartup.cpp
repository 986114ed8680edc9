// TForm1's lifecycle: the first activation restores the settings, the language,
// the Language menu and the hidden-entry filter; every activation rewrites the
// status bar; closing saves the settings and the hidden list.
#include <QCloseEvent>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>

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

QMargins TForm1::frameMargins() const {
    const QRect frame = frameGeometry();
    const QRect client = geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

QRect TForm1::outerPlacement() const {
    // A minimised window is saved where it will come back, in the same outer
    // terms as a normal one, so the next start puts it where it was.
    if (isMinimized())
        return normalGeometry().marginsAdded(frameMargins());
    return frameGeometry();
}

void TForm1::placeOuter(const QRect& outer) {
    const QMargins margins = frameMargins();
    setGeometry(outer.marginsRemoved(margins));
    // Until the window manager has framed the window its frame is unknown; the
    // placement is made again once it is, so the frame lands where it was saved.
    pendingPlacement_ = margins.isNull() ? std::optional<QRect>(outer) : std::nullopt;
}

bool TForm1::event(QEvent* e) {
    if (pendingPlacement_ && (e->type() == QEvent::Move || e->type() == QEvent::Resize ||
                              e->type() == QEvent::WindowActivate)) {
        if (!frameMargins().isNull()) {
            const QRect outer = *pendingPlacement_;
            pendingPlacement_.reset();
            setGeometry(outer.marginsRemoved(frameMargins()));
        }
    }
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
        checkMarksChanged();
        inventory_.setStartupDone();
        startupRunning_ = false;
    }
    writeStatusOnActivation();
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
            // The four values are the outer edges, frame included, as saved.
            QRect outer = frameGeometry();
            if (const auto left = read("WindowLeft"))
                outer.moveLeft(*left);
            if (const auto top = read("WindowTop"))
                outer.moveTop(*top);
            if (const auto width = read("WindowWidth"))
                outer.setWidth(*width);
            if (const auto height = read("WindowHeight"))
                outer.setHeight(*height);
            placeOuter(outer);
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
        const QRect placement = outerPlacement();
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
