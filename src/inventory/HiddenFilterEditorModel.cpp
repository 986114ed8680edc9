#include "inventory/HiddenFilterEditorModel.h"

#include <algorithm>
#include <numeric>

#include "inventory/Inventory.h"
#include "platform/Collation.h"

namespace vornak {

std::vector<std::string> sortedUniqueLines(const std::vector<std::string>& lines,
                                           const platform::Collation& collation) {
    // Sort positions, not texts, and stably: among equal lines the first met
    // stays in front and is the one unique() keeps.
    std::vector<size_t> order(lines.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return collation.compare(lines[a], lines[b]) < 0;
    });
    auto last = std::unique(order.begin(), order.end(), [&](size_t a, size_t b) {
        return collation.compare(lines[a], lines[b]) == 0;
    });
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(last - order.begin()));
    for (auto it = order.begin(); it != last; ++it) out.push_back(lines[*it]);
    return out;
}

void HiddenFilterEditorModel::load(const std::vector<std::string>& hiddenList,
                                   const platform::Collation& collation) {
    modified_ = false;
    lines_ = sortedUniqueLines(hiddenList, collation);
}

void HiddenFilterEditorModel::load(const std::vector<std::string>& hiddenList) {
    load(hiddenList, platform::threadCollation());
}

void HiddenFilterEditorModel::deleteLine(int index) {
    modified_ = true;
    if (index >= 0 && static_cast<size_t>(index) < lines_.size())
        lines_.erase(lines_.begin() + index);
}

void HiddenFilterEditorModel::apply(Inventory& inventory) const {
    if (!modified_) return;
    inventory.setHiddenList(lines_);
    if (inventory.hiddenFilterOn()) {
        inventory.clearHiddenFilterMark();
        inventory.RefreshInventory();
        inventory.VisIkkeSkjulteClick();
    }
}

}  // namespace vornak
