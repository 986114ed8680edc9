#include "actions/EditInfoModel.h"

#include <algorithm>
#include <stdexcept>

#include "actions/ChangeBackup.h"
#include "actions/EntryRegistry.h"
#include "inventory/Inventory.h"
#include "language/MessageCatalogue.h"
#include "platform/RegistryStore.h"
#include "registry/RegistryAccess.h"

namespace vornak::actions {

void EditInfoModel::setTarget(std::string rootCode, std::string keyPath) {
    rootCode_ = std::move(rootCode);
    keyPath_ = std::move(keyPath);
}

void EditInfoModel::load() {
    const NameList names = GetRegValueNames(rootCode_, keyPath_);
    rows_.clear();
    for (const std::string& name : names) {
        if (valueType(rootCode_, keyPath_, name) != platform::kRegSz)
            continue;
        std::string value = ReadRegString(rootCode_, keyPath_, name);
        rows_.push_back({name, std::move(value)});
    }
    modified_ = false;
    sort();
}

std::string EditInfoModel::keyName() const {
    std::string path = keyPath_;
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path.substr(path.rfind('\\') + 1);
}

void EditInfoModel::sort() {
    // The value list sorts like the main list: CompareListRows on column 0,
    // always ascending.
    auto asRow = [](const InfoRow& row) {
        UninstallEntry entry;
        entry.caption = row.name;
        return entry;
    };
    std::stable_sort(rows_.begin(), rows_.end(), [&](const InfoRow& a, const InfoRow& b) {
        return CompareListRows(asRow(a), asRow(b), 0, true) < 0;
    });
}

void EditInfoModel::change(int index, std::string value) {
    if (index < 0 || static_cast<size_t>(index) >= rows_.size())
        return;
    InfoRow changed{rows_[static_cast<size_t>(index)].name, std::move(value)};
    rows_.erase(rows_.begin() + index);
    rows_.push_back(std::move(changed));
    sort();
    modified_ = true;
}

void EditInfoModel::add(std::string name, std::string value) {
    rows_.push_back({std::move(name), std::move(value)});
    sort();
    modified_ = true;
}

void EditInfoModel::remove(int index) {
    if (index < 0 || static_cast<size_t>(index) >= rows_.size())
        return;
    const std::string name = rows_[static_cast<size_t>(index)].name;
    backUpKey(rootCode_, keyPath_, Msg::msgBackupEdited, keyName());
    DeleteRegValue(rootCode_, keyPath_, name);
    if (valueExists(rootCode_, keyPath_, name)) {
        throw std::runtime_error(formatMessage(
            Msg::fmtValueNotRemoved, {shownValueName(name), changeRefusal(rootCode_, keyPath_)}));
    }
    rows_.erase(rows_.begin() + index);
}

std::vector<std::string> EditInfoModel::save() const {
    std::vector<std::string> failed;
    saveFailure_.clear();
    if (!modified_)
        return failed;
    backUpKey(rootCode_, keyPath_, Msg::msgBackupEdited, keyName());
    for (const InfoRow& row : rows_) {
        if (!WriteRegString(rootCode_, keyPath_, row.name, row.value)) {
            failed.push_back(row.name);
            if (saveFailure_.empty())
                saveFailure_ = LastRegWriteFailure();
        }
    }
    return failed;
}

}  // namespace vornak::actions
