// What the information editor works on, without its window: the string values
// of one registration's key as (name, value) rows sorted by name, the changes
// and additions collected until Save, and removals that act at once. Every
// registry access goes through the eight access functions.
#pragma once

#include <string>
#include <vector>

namespace vornak::actions {

struct InfoRow {
    std::string name;
    std::string value;
    bool operator==(const InfoRow&) const = default;
};

class EditInfoModel {
  public:
    void setTarget(std::string rootCode, std::string keyPath);
    const std::string& rootCode() const { return rootCode_; }
    const std::string& keyPath() const { return keyPath_; }

    // FormActivate: one row per REG_SZ value of the target key, sorted, not
    // modified. The silent abort of an unreadable key leaves the rows as they
    // were; that of an unreadable value leaves the rows read before it, unsorted.
    void load();

    const std::vector<InfoRow>& rows() const { return rows_; }
    bool modified() const { return modified_; }

    // btnOKClick: row `index` takes `value` (its name kept); sorted, modified.
    void change(int index, std::string value);
    // btnOK2Click: a further row, neither text checked; sorted, modified.
    void add(std::string name, std::string value);
    // Remove1Click after the user's Yes: the value is deleted from the registry
    // at once and its row goes. When the value is still there afterwards the
    // row stays and std::runtime_error (fmtValueNotRemoved) is raised.
    // Removing and saving back the key up first; a backup that cannot be
    // written raises std::runtime_error (fmtBackupNotWritten) before any change.
    void remove(int index);
    // btnSaveClick's writing: when modified, every row from top to bottom as a
    // string value. Returns the names of the values that could not be written.
    // The store's reason for the first of them, when it gave one.
    std::vector<std::string> save() const;
    const std::string& saveFailure() const { return saveFailure_; }

  private:
    void sort();
    std::string keyName() const;

    std::string rootCode_;
    std::string keyPath_;
    std::vector<InfoRow> rows_;
    bool modified_ = false;
    mutable std::string saveFailure_;
};

}  // namespace vornak::actions
