#include "app/WindowLanguage.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QStringList>
#include <QtDebug>

#include "app/Icons.h"
#include "app/MainWindow.h"
#include "app/QtText.h"
#include "platform/Dialogs.h"
#include "registry/CommandDispatch.h"

namespace vornak::app {
namespace {

QString name(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The window an object belongs to: the first window among itself and its
// parents. A menu is a window of its own to Qt, but it belongs to its owner's.
const QObject* owningWindow(const QObject* object) {
    for (; object; object = object->parent()) {
        const auto* widget = qobject_cast<const QWidget*>(object);
        if (widget && widget->isWindow() && !qobject_cast<const QMenu*>(widget))
            return object;
    }
    return nullptr;
}

// The control of that name inside `window` itself, not inside a window it owns
// (the wizard has a btnUninstall of its own).
template <class T>
T* findControl(QWidget* window, std::string_view control) {
    for (T* found : window->findChildren<T*>(name(control)))
        if (owningWindow(found) == window)
            return found;
    qWarning("language: %s has no control %s", qPrintable(window->objectName()),
             qPrintable(name(control)));
    return nullptr;
}

}  // namespace

QWidget* WindowLanguage::findWindow(std::string_view windowName) const {
    const QString wanted = name(windowName);
    if (form_.objectName() == wanted)
        return &form_;
    for (QWidget* child : form_.findChildren<QWidget*>(wanted))
        if (child->isWindow())
            return child;
    return nullptr;
}

QObject* WindowLanguage::findTarget(const Target& target) const {
    QWidget* window = findWindow(target.window);
    if (!window)
        return nullptr;
    switch (target.kind) {
        case TargetKind::WindowTitle:
            return window;
        case TargetKind::MenuItem:
            return findControl<QAction>(window, target.control);
        case TargetKind::Submenu:
            return findControl<QMenu>(window, target.control);
        case TargetKind::Caption:
        case TargetKind::ColumnHeading:
            return findControl<QWidget>(window, target.control);
        case TargetKind::DialogFilter:
        case TargetKind::ScrollingText:
            return findControl<QObject>(window, target.control);
        default:
            return nullptr;
    }
}

void WindowLanguage::setText(const Target& target, const std::string& text) {
    QObject* control = findTarget(target);
    if (!control)
        return;
    switch (target.kind) {
        case TargetKind::Caption: {
            if (auto* button = qobject_cast<QAbstractButton*>(control))
                button->setText(toDisplayText(text));
            else if (auto* label = qobject_cast<QLabel*>(control))
                label->setText(labelText(text));
            else if (auto* group = qobject_cast<QGroupBox*>(control))
                group->setTitle(toDisplayText(text));
            break;
        }
        case TargetKind::MenuItem:
            if (auto* action = qobject_cast<QAction*>(control))
                action->setText(toDisplayText(text));
            break;
        case TargetKind::Submenu:
            if (auto* menu = qobject_cast<QMenu*>(control))
                menu->setTitle(toDisplayText(text));
            break;
        case TargetKind::WindowTitle:
            static_cast<QWidget*>(control)->setWindowTitle(toDisplayText(text));
            break;
        case TargetKind::ColumnHeading:
            if (auto* view = qobject_cast<QAbstractItemView*>(control); view && view->model())
                view->model()->setHeaderData(target.column, Qt::Horizontal, toDisplayText(text));
            break;
        case TargetKind::DialogFilter:
            control->setProperty("filter", toQt(text));
            break;
        default:
            break;
    }
}

void WindowLanguage::setScrollingText(const Target& target, const std::vector<std::string>& lines) {
    if (QObject* control = findTarget(target)) {
        QStringList shown;
        for (const auto& line : lines)
            shown << toQt(line);
        // The scrolling text control takes its lines as the property "lines" and
        // lays itself out again when it changes.
        control->setProperty("lines", shown);
    }
}

void WindowLanguage::setStatusText(const std::string& text) {
    form_.showStatus(text);
    // The engine ends every language it has applied with the status text.
    form_.languageApplied();
}

void WindowLanguage::showMessage(const std::string& text) {
    form_.dialogs().showMessage(text);
}

int WindowLanguage::visibleRowCount() const {
    return static_cast<int>(form_.inventory().visible().size());
}

void WindowLanguage::setLocale(const std::string& locale) {
    qtTexts_.apply(locale);
}

void WindowLanguage::addLanguageMenuItem(const LanguageMenuItem& item) {
    auto* action = new QAction(toQt(item.label), &form_);
    action->setObjectName(toQt(item.identifier));
    const auto& images = menuImages();
    if (item.image >= 0 && item.image < static_cast<int>(images.size()))
        action->setIcon(images[static_cast<size_t>(item.image)]);
    TForm1* form = &form_;
    QObject::connect(action, &QAction::triggered, form, [form, action] {
        form->run([form, action] { form->language().LangShit(fromQt(action->objectName())); });
    });
    form_.languageMenu_->addAction(action);
}

}  // namespace vornak::app
