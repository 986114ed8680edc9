// vornak reg: the store's own reg.exe. Shared pieces of its operations (each
// operation lives in its own file).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "platform/RegistryStore.h"

namespace vornak::cli::reg {

// reg.exe's own wording, kept exact so scripts written for it read ours.
inline constexpr const char* kSuccess = "The operation completed successfully.";
inline constexpr const char* kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.";
inline constexpr const char* kAccessDenied = "ERROR: Access is denied.";
inline constexpr const char* kInvalidKey = "ERROR: Invalid key name.";
inline constexpr const char* kInvalidValueName =
    "ERROR: Invalid value name (it may be at most 16383 bytes long).";

// REG_DWORD_BIG_ENDIAN, which reg.exe takes and keeps in the machine's order.
inline constexpr uint32_t kRegDwordBigEndian = 5;

struct KeyName {
    platform::RegRoot root = platform::RegRoot::LocalMachine;
    std::string path;          // below the root, no leading or trailing backslash
    std::string full() const;  // HKEY_LOCAL_MACHINE\path
};

// "HKLM\Software\X", "hkey_local_machine\Software\X\", "HKCU": false for anything else.
bool parseKeyName(const std::string& text, KeyName& out);

// "ERROR: Invalid syntax." with a pointer to the operation's usage, as one line.
int syntaxError(const std::string& operation);

// The failure message for a store status; kNotFound for NotFound. A store
// failure says why when the accessor that met it knows.
int statusError(platform::RegStatus status);
int statusError(platform::RegStatus status, const platform::RegistryAccessor& accessor);
// The same for an operation on a value, whose InvalidName is the value's name.
int valueStatusError(platform::RegStatus status);
int valueStatusError(platform::RegStatus status, const platform::RegistryAccessor& accessor);

// Whether the store can hold a key path (below the root) or a value name; the
// checks come before anything is written, so a refused command changes nothing.
bool isValidKeyPath(const std::string& path);
using platform::isValidValueName;

// Case-insensitive comparison of an option word (/v, -V) with `name` ("v").
bool isOption(const std::string& arg, const char* name);
// A short word after / or - ("/ve", "-f"); file paths such as "/tmp/a.reg" are not.
bool looksLikeOption(const std::string& arg);

// Asks `question` on the terminal and returns true on Yes. Without a terminal on
// standard input nothing is read: the answer is No, and `refusal` is printed.
// Prints "The operation was cancelled by the user." on No at the terminal.
bool confirm(const std::string& question, const std::string& refusal);

std::unique_ptr<platform::RegistryAccessor> openAccessor();

// One warning line on stderr for each key (full name) that a walk listed but
// could not open, and therefore left out.
void warnUnreachable(const std::vector<std::string>& keys);

int query(const Args& args);
int add(const Args& args);
int remove(const Args& args);
int copy(const Args& args);
int importFile(const Args& args);
int exportFile(const Args& args);

}  // namespace vornak::cli::reg
