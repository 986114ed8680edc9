#include "app/EmptyListHint.h"

#include <QAbstractScrollArea>
#include <QEvent>

namespace vornak::app {

EmptyListHint::EmptyListHint(QAbstractScrollArea* list) : QLabel(list->viewport()) {
    setObjectName(QStringLiteral("EmptyListHint"));
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The rows' own colour would claim there were rows.
    setForegroundRole(QPalette::PlaceholderText);
    parentWidget()->installEventFilter(this);
    hide();
    fit();
}

void EmptyListHint::say(const QString& text) {
    setText(text);
    setVisible(!text.isEmpty());
}

bool EmptyListHint::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        fit();
    return QLabel::eventFilter(watched, event);
}

void EmptyListHint::fit() {
    constexpr int kMargin = 12;
    setGeometry(parentWidget()->rect().adjusted(kMargin, kMargin, -kMargin, -kMargin));
}

}  // namespace vornak::app
