#include "app/QuietMarks.h"

#include <QAbstractItemModel>
#include <QPainter>

#include "actions/QuietCommand.h"
#include "app/QtText.h"
#include "inventory/Inventory.h"
#include "language/MessageCatalogue.h"
#include "platform/FileSystem.h"

namespace vornak::app {

QuietMarks::QuietMarks(const Inventory& inventory, QAbstractItemModel* model, QObject* parent)
    : QStyledItemDelegate(parent), inventory_(inventory) {
    setObjectName(QStringLiteral("QuietMarks"));
    connect(model, &QAbstractItemModel::modelReset, this, [this] { known_.clear(); });
}

bool QuietMarks::hasQuietCommand(int row) const {
    const auto& rows = inventory_.visible();
    if (row < 0 || static_cast<size_t>(row) >= rows.size())
        return false;
    if (known_.size() != rows.size())
        known_.assign(rows.size(), -1);
    signed char& known = known_[static_cast<size_t>(row)];
    if (known < 0) {
        const auto quiet =
            actions::quietCommand(rows[static_cast<size_t>(row)], *platform::defaultFileSystem());
        known = quiet.kind == actions::QuietKind::None ? 0 : 1;
    }
    return known == 1;
}

QString QuietMarks::mark(int row) const {
    return hasQuietCommand(row) ? toQt(messages().get(Msg::msgQuietMark)) : QString();
}

void QuietMarks::paint(QPainter* painter, const QStyleOptionViewItem& option,
                       const QModelIndex& index) const {
    const QString text = mark(index.row());
    if (text.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The caption gives way to the mark, so a long name is cut, not overdrawn.
    const int width = option.fontMetrics.horizontalAdvance(text) + 8;
    QStyleOptionViewItem caption = option;
    caption.rect.setRight(option.rect.right() - width);
    QStyledItemDelegate::paint(painter, caption, index);
    if (option.state & QStyle::State_Selected)
        painter->fillRect(
            QRect(caption.rect.right() + 1, option.rect.top(), width, option.rect.height()),
            option.palette.highlight());
    painter->save();
    painter->setPen(option.palette.color((option.state & QStyle::State_Selected)
                                             ? QPalette::HighlightedText
                                             : QPalette::PlaceholderText));
    painter->drawText(option.rect.adjusted(0, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, text);
    painter->restore();
}

}  // namespace vornak::app
