// The list's mark for rows that can be uninstalled quietly: the caption cell
// ends in a muted word from the language file. Whether a row has a quiet
// command is worked out when the row is first drawn or asked about (it may
// read the uninstaller's first bytes) and kept until the list is rebuilt.
#pragma once

#include <QStyledItemDelegate>
#include <vector>

namespace vornak {
class Inventory;
}

namespace vornak::app {

class QuietMarks : public QStyledItemDelegate {
  public:
    // Follows `model`'s resets, which replace the rows.
    QuietMarks(const Inventory& inventory, QAbstractItemModel* model, QObject* parent);

    // Whether visible row `row` has a quiet command.
    bool hasQuietCommand(int row) const;
    // The mark drawn in the row: empty where there is none.
    QString mark(int row) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  private:
    const Inventory& inventory_;
    mutable std::vector<signed char> known_;  // -1 not yet looked at, 0 none, 1 has one
};

}  // namespace vornak::app
