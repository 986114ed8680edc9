// The files Wine writes into the user's home for a prefix's Start-menu
// shortcuts: menu entries, their folders and icons. They lie outside every
// drive the analysis walks, yet an installer made them, so the walk records
// them and the removal takes them away, inside these places only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/LineArena.h"
#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"

namespace vornak::analysis {

// Where Wine's menu builder writes, found as it finds it: $XDG_DATA_HOME
// (else ~/.local/share) and $XDG_CONFIG_HOME (else ~/.config), host folders
// without a trailing '/'. Below them the places are Wine's own:
//   <data>/applications/wine, whole;
//   <data>/desktop-directories/wine-*.directory;
//   <config>/menus/applications-merged/wine-*.menu;
//   <data>/icons/hicolor/<size>/apps/<icon>.<ext>, where <icon> is the Icon=
//     of a menu entry Wine wrote.
// The folders that lead to them from the data and config folders are
// recorded too, so that those Wine made go with the last entry in them.
struct WineMenuPlaces {
    std::string dataHome;
    std::string configHome;
    // Drive paths ("Z:\home\u\...\x.desktop") of the menu files the prefix's
    // HKCU\Software\Wine\MenuFiles holds, one per file of a shortcut.
    std::vector<std::string> listedFiles;
};

// The places for the prefix whose registry `store` is; nullopt for any other
// store, or when neither home can be told.
std::optional<WineMenuPlaces> wineMenuPlaces(platform::RegistryStore& store);
// The same from the environment and a MenuFiles listing already read.
std::optional<WineMenuPlaces> wineMenuPlacesFromEnvironment(std::vector<std::string> listedFiles);

struct WineMenuWalk {
    int32_t found = 0;                       // lines added
    uint64_t skipped = 0;                    // names that cannot stand in a line
    std::vector<std::string> unreadFolders;  // drive paths that exist but could not be listed
    // Host folders no drive of the prefix leads to: nothing of them is recorded.
    std::vector<std::string> unreachable;
};

// Adds the snapshot lines of every file and folder of the places to `lines`,
// named through the drive that leads there (a prefix's Z: is the host's /).
WineMenuWalk collectWineMenuLines(const platform::FileSystem& fs, const WineMenuPlaces& places,
                                  LineArena& lines);

// For a drive path the walk above records (or would) as a folder or as a
// file: the host folder, data or config, that the removal of it must not
// leave. Empty for every other path.
std::string wineMenuRootOf(const platform::FileSystem& fs, const WineMenuPlaces& places,
                           const std::string& path, bool isFolder);

}  // namespace vornak::analysis
