// What a registry file says, independent of its syntax: the operations an import
// performs in order, and the keys an export writes.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/RegistryStore.h"

namespace vornak::registry {

enum class RegFileFormat {
    Regedit5,  // "Windows Registry Editor Version 5.00"
    Regedit4,  // "REGEDIT4"
    Wine2,     // "WINE REGISTRY Version 2" (a prefix's system.reg / user.reg)
};

struct RegFileOp {
    enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = CreateKey;
    int line = 0;  // where the file says it, for error messages
    platform::RegRoot root = platform::RegRoot::LocalMachine;
    std::string path;  // below the root, no leading backslash, never empty
    std::string name;  // value name; empty is the default value
    uint32_t type = platform::kRegNone;
    std::string data;  // the exact bytes to store
};

struct RegFileContent {
    RegFileFormat format = RegFileFormat::Regedit5;
    std::vector<RegFileOp> ops;
    // A first line that begins with REGEDIT but names no version reg.exe reads
    // ("REGEDIT5", "REGEDIT 4"): reg.exe takes such a file and imports nothing
    // from it, and so do we. The line as it stands; empty for every other file.
    std::string skippedHeader;
};

// One key of an export with its values in enumeration order. Keys come parent
// first, subkeys in enumeration order, as regedit writes them.
struct RegFileKey {
    platform::RegRoot root = platform::RegRoot::LocalMachine;
    std::string path;  // empty for a root itself
    std::vector<platform::RegValue> values;
};

// A key of a file that puts keys back as they were (a backup): a [-key] line
// first when `removedFirst`, so the key and everything below it go before it
// is written again; `removedOnly` writes that line alone. `removedValues` are
// written as "name"=- lines after the key's values.
struct RegFileRestoreKey {
    RegFileKey key;
    bool removedFirst = false;
    bool removedOnly = false;
    std::vector<std::string> removedValues;
};

// A file that cannot be read or written as a whole. `line` is 0 when the fault
// is not tied to one line.
class RegFileError : public std::runtime_error {
  public:
    RegFileError(int line, const std::string& reason)
        : std::runtime_error(line > 0 ? "line " + std::to_string(line) + ": " + reason : reason),
          line_(line),
          reason_(reason),
          message_(line > 0 ? "line " + std::to_string(line) + ": " + reason : reason) {}
    int line() const { return line_; }
    const std::string& reason() const { return reason_; }
    // The whole message; what() ends at a NUL that a name in it may hold.
    const std::string& message() const { return message_; }

  private:
    int line_;
    std::string reason_;
    std::string message_;
};

}  // namespace vornak::registry
