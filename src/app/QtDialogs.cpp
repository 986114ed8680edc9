#include "app/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>
#include <QStringList>
#include <QStyle>
#include <memory>

#include "app/ApplicationInfo.h"
#include "app/FontCharset.h"
#include "app/QtText.h"
#include "platform/FileSystem.h"

namespace vornak::app {
namespace {

// The window the user has in front: a modal one first, so that a message that
// comes by itself (the update check's answer) shows above whatever is open.
QWidget* owner() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

QMessageBox::StandardButtons qtButtons(uint32_t buttons) {
    QMessageBox::StandardButtons out;
    if (buttons & platform::kButtonOk)
        out |= QMessageBox::Ok;
    if (buttons & platform::kButtonCancel)
        out |= QMessageBox::Cancel;
    if (buttons & platform::kButtonYes)
        out |= QMessageBox::Yes;
    if (buttons & platform::kButtonNo)
        out |= QMessageBox::No;
    return out ? out : QMessageBox::Ok;
}

platform::DialogButton fromQtButton(int button) {
    switch (button) {
        case QMessageBox::Yes:
            return platform::kButtonYes;
        case QMessageBox::No:
            return platform::kButtonNo;
        case QMessageBox::Cancel:
            return platform::kButtonCancel;
        default:
            return platform::kButtonOk;
    }
}

// The standard message dialog stands in the middle of the screen, not over
// the window it belongs to.
class ScreenCentredBox : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;

  protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);  // gives the box its final size
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (parentWidget() && parentWidget()->screen())
            screen = parentWidget()->screen();
        if (screen)
            setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                            screen->availableGeometry()));
    }
};

enum class Placement { OverOwner, ScreenCentre };

int runBox(QMessageBox::Icon icon, const QString& title, const QString& text,
           QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton,
           Placement placement = Placement::OverOwner) {
    std::unique_ptr<QMessageBox> made =
        placement == Placement::ScreenCentre
            ? std::make_unique<ScreenCentredBox>(icon, title, text, buttons, owner())
            : std::make_unique<QMessageBox>(icon, title, text, buttons, owner());
    QMessageBox& box = *made;
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return box.exec();
}

}  // namespace

void QtDialogs::showMessage(const std::string& text) {
    runBox(QMessageBox::NoIcon, toQt(applicationTitle()), toDisplayText(text), QMessageBox::Ok,
           QMessageBox::Ok);
}

platform::DialogButton QtDialogs::messageDialog(const std::string& text, platform::DialogKind kind,
                                                uint32_t buttons) {
    QMessageBox::Icon icon = QMessageBox::Information;
    QString title = QStringLiteral("Information");
    if (kind == platform::DialogKind::Error) {
        icon = QMessageBox::Critical;
        title = QStringLiteral("Error");
    } else if (kind == platform::DialogKind::Confirmation) {
        icon = QMessageBox::Question;
        title = QStringLiteral("Confirm");
    }
    return fromQtButton(runBox(icon, title, toDisplayText(text), qtButtons(buttons),
                               QMessageBox::NoButton, Placement::ScreenCentre));
}

bool QtDialogs::askYesNo(const std::string& text, const std::string& title) {
    return runBox(QMessageBox::Question, toDisplayText(title), toDisplayText(text),
                  QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

std::optional<std::string> QtDialogs::inputBox(const std::string& title, const std::string& prompt,
                                               const std::string& text) {
    bool ok = false;
    const QString answer = QInputDialog::getText(
        owner(), toDisplayText(title), toDisplayText(prompt), QLineEdit::Normal, toQt(text), &ok);
    if (!ok)
        return std::nullopt;
    return fromQt(answer);
}

std::optional<size_t> QtDialogs::chooseItem(const std::string& title, const std::string& prompt,
                                            const std::vector<std::string>& items) {
    QStringList texts;
    for (const std::string& item : items)
        texts << toDisplayText(item);
    bool ok = false;
    const QString answer = QInputDialog::getItem(owner(), toDisplayText(title),
                                                 toDisplayText(prompt), texts, 0, false, &ok);
    const qsizetype index = texts.indexOf(answer);
    if (!ok || index < 0)
        return std::nullopt;
    return static_cast<size_t>(index);
}

std::optional<platform::FontChoice> QtDialogs::chooseFont(const platform::FontChoice& current) {
    QFont preset(toQt(current.name));
    if (current.pixelHeight > 0)
        preset.setPixelSize(current.pixelHeight);
    preset.setBold(current.bold);
    preset.setItalic(current.italic);
    bool ok = false;
    // Only fonts that exist can be picked: the dialog lists the installed ones.
    const QFont chosen = QFontDialog::getFont(&ok, preset, owner());
    if (!ok)
        return std::nullopt;
    platform::FontChoice choice;
    choice.name = fromQt(chosen.family());
    choice.charset = charsetForFamily(chosen.family());
    choice.pixelHeight = chosen.pixelSize() > 0
                             ? chosen.pixelSize()
                             : static_cast<int>(chosen.pointSizeF() * 96.0 / 72.0 + 0.5);
    choice.bold = chosen.bold();
    choice.italic = chosen.italic();
    return choice;
}

std::optional<std::string> QtDialogs::saveFileName(const platform::SaveFileOptions& options) {
    QFileDialog dialog(owner());
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(qtFileFilter(options.filter));
    // Qt adds the suffix before it looks for an existing file, so the overwrite
    // question names the file that would really be replaced.
    dialog.setDefaultSuffix(toQt(options.defaultExtension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = dialog.selectedFiles().first();
    if (chosen.isEmpty())
        return std::nullopt;
    return platform::defaultFileSystem()->fromHostPath(fromQt(chosen));
}

void QtDialogs::showError(const std::string& text) {
    runBox(QMessageBox::Critical, toQt(applicationTitle()), toDisplayText(text), QMessageBox::Ok,
           QMessageBox::Ok);
}

QString qtFileFilter(const std::string& filter) {
    const QStringList parts = toQt(filter).split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        // Qt reads the patterns from the last parentheses of an entry.
        if (description.contains(QStringLiteral("(") + patterns + QStringLiteral(")")))
            out << description;
        else
            out << description + QStringLiteral(" (") + patterns + QStringLiteral(")");
    }
    return out.join(QStringLiteral(";;"));
}

}  // namespace vornak::app
