#include "app/InventoryModel.h"

#include "app/Icons.h"
#include "inventory/Inventory.h"

namespace vornak::app {

InventoryModel::InventoryModel(const Inventory& inventory, QObject* parent)
    : QAbstractTableModel(parent), inventory_(inventory) {
    rows_ = static_cast<int>(inventory_.visible().size());
}

void InventoryModel::refresh() {
    beginResetModel();
    rows_ = static_cast<int>(inventory_.visible().size());
    endResetModel();
}

void InventoryModel::setHeading(const QString& heading) {
    heading_ = heading;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

int InventoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int InventoryModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 1; }

QVariant InventoryModel::data(const QModelIndex& index, int role) const {
    const auto& rows = inventory_.visible();
    if (!index.isValid() || index.column() != 0 || index.row() >= rows_ ||
        index.row() >= static_cast<int>(rows.size()))
        return {};
    const UninstallEntry& entry = rows[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return QString::fromStdString(entry.caption);
        case Qt::DecorationRole: {
            const auto& images = statusImages();
            if (entry.statusImage >= 0 && entry.statusImage < static_cast<int>(images.size()))
                return images[static_cast<size_t>(entry.statusImage)];
            return {};
        }
        default:
            return {};
    }
}

QVariant InventoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole) return heading_;
    return {};
}

bool InventoryModel::setHeaderData(int section, Qt::Orientation orientation,
                                   const QVariant& value, int role) {
    if (orientation != Qt::Horizontal || section != 0 ||
        (role != Qt::EditRole && role != Qt::DisplayRole))
        return false;
    setHeading(value.toString());
    return true;
}

Qt::ItemFlags InventoryModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace vornak::app
