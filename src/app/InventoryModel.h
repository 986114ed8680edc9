// The visible list of the inventory as a Qt item model: one column, the caption
// with its status image. The rows are the inventory's own; a change of the list
// is announced once with refresh(), so a bulk change repaints once.
#pragma once

#include <QAbstractTableModel>
#include <QString>

namespace vornak {
class Inventory;
}

namespace vornak::app {

class InventoryModel : public QAbstractTableModel {
public:
    explicit InventoryModel(const Inventory& inventory, QObject* parent = nullptr);

    // The inventory's visible list was replaced or changed.
    void refresh();
    void setHeading(const QString& heading);
    const QString& heading() const { return heading_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const Inventory& inventory_;
    // The count the views were last told; the inventory's list may already be
    // different while the reset is being announced.
    int rows_ = 0;
    QString heading_;
};

}  // namespace vornak::app
