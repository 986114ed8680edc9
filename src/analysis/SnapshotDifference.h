// The difference of two snapshots, as the analysis log records it: a line is
// ADDED when the after snapshot holds it more often than the before snapshot,
// DELETED in the reverse case. Where a line stands does not matter, so a
// value that moved in the enumeration order gives nothing.
#pragma once

#include <string_view>

#include "analysis/LineArena.h"

namespace vornak::analysis {

inline constexpr std::string_view kFileAdded = "FILE ADDED!";
// Not a difference: a link the file walk went through, its path and the host
// folder it led to (see WalkedLink); readers that know no such tag pass over it.
inline constexpr std::string_view kLinkWalked = "LINK WALKED!";
inline constexpr std::string_view kFileDeleted = "FILE DELETED!";
inline constexpr std::string_view kRegAdded = "REG ADDED!";
inline constexpr std::string_view kRegDeleted = "REG DELETED!";

// Appends tag TAB line for every differing line of the two snapshot texts
// (split by the reading rules), each line once, in no particular order.
void appendDifferences(std::string_view beforeText, std::string_view afterText,
                       std::string_view addedTag, std::string_view deletedTag, LineArena& out);

}  // namespace vornak::analysis
