// Files and folders in the Windows model: drive-letter paths with backslashes,
// FindFirstFile attribute bits and filter rule. Off Windows a drive map gives
// each letter a root folder (VORNAK_DRIVES="C=/srv/c;D=/data", default C=/).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/BoundedRead.h"

namespace vornak::platform {

enum FileAttribute : uint32_t {
    kAttrReadOnly = 0x01,
    kAttrHidden = 0x02,
    kAttrSystem = 0x04,
    kAttrVolumeLabel = 0x08,
    kAttrDirectory = 0x10,
    kAttrArchive = 0x20,
    kAttrReparsePoint = 0x400,  // a link (off Windows: a symbolic link)
};

struct DirEntry {
    std::string name;  // as the directory listing returned it
    uint32_t attributes = 0;
};

// FindFirstFile's filter: an entry is skipped when it carries any of hidden,
// system, volume label or directory that the wanted set does not name.
inline bool passesAttributeFilter(uint32_t attributes, uint32_t wanted) {
    const uint32_t special = kAttrHidden | kAttrSystem | kAttrVolumeLabel | kAttrDirectory;
    return (attributes & special & ~wanted) == 0;
}

// Windows wildcard match ('*' and '?'), case-insensitive for ASCII letters.
bool matchesWildcard(const std::string& name, const std::string& pattern);

// Many fileExists questions asked at once (the inventory's dead-entry check).
// A backend may remember what it has seen of the folders for as long as the
// lookup lives, so it answers as fileExists would have when it first looked
// at each folder: keep one for one pass, never across passes.
class FileLookup {
public:
    virtual ~FileLookup() = default;
    virtual bool fileExists(const std::string& path) = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // FindFirstFile/FindNextFile over `pattern` (folder + "\" + wildcard), returning
    // the entries that pass the attribute filter for `wanted`, "." and ".." included
    // where the host lists them. Returns false when the search cannot be opened.
    virtual bool findFiles(const std::string& pattern, uint32_t wanted,
                           const std::function<void(const DirEntry&)>& onEntry) const = 0;

    virtual bool fileExists(const std::string& path) const = 0;  // an existing non-folder
    // For asking fileExists of many paths: one that asks this file system each time
    // unless the backend can do better.
    virtual std::unique_ptr<FileLookup> fileLookup() const;
    virtual bool directoryExists(const std::string& path) const = 0;
    virtual bool createDirectory(const std::string& path) const = 0;  // one level
    virtual bool removeDirectory(const std::string& path) const = 0;  // empty only
    virtual bool deleteFile(const std::string& path) const = 0;
    // The whole file, when it is a regular file within `limit` (BoundedRead.h);
    // anything else is refused before it is read, without waiting on a FIFO.
    // On failure `error` (if given) names the file and says why.
    virtual std::optional<std::string> readFile(const std::string& path, const ReadLimit& limit,
                                                std::string* error = nullptr) const = 0;
    // Writes the whole file: the bytes go to a new file beside it which then
    // replaces the old one, so a crash never leaves a half-written file.
    // On failure `error` (if given) says why.
    virtual bool writeFile(const std::string& path, const std::string& bytes,
                           std::string* error = nullptr) const = 0;
    // Writes the whole file as the user's own save of it: into the file that
    // `path` names, through a link, keeping its permissions; where its folder
    // may not be written but the file may, into the file itself. A file that
    // cannot be written fails with `error` (if given) saying why.
    virtual bool writeFileThrough(const std::string& path, const std::string& bytes,
                                  std::string* error = nullptr) const {
        return writeFile(path, bytes, error);
    }
    // Whether the current user may write into the folder.
    virtual bool canWriteDirectory(const std::string& path) const = 0;

    // Drive letters whose type is fixed (GetDriveType == DRIVE_FIXED), A to Z.
    virtual std::vector<char> fixedDrives() const = 0;
    // What the last component of `path` names, the link itself where it is
    // one. The folders before it are resolved with every link followed and
    // must lie inside the mapped root of the path's drive: Outside when they
    // do not, or when that cannot be told, and then nothing may be done there.
    enum class EntryKind { Missing, File, Folder, Link, Outside };
    virtual EntryKind entryKind(const std::string& path) const;
    // Removes the entry if it is still of `kind` and inside its drive as
    // entryKind tells: a file or a link itself (never what a link points to),
    // or an empty folder.
    virtual bool removeEntry(const std::string& path, EntryKind kind) const;
    // For a link at `path` that a walk of the drive may go through: the folder
    // it leads to, as a host path. Only a link that lies in the drive itself
    // (never one found behind another link) and leads into the user's home,
    // but not to the home itself, whose other folders are the user's own:
    // the links a Wine prefix makes from its Desktop and shell folders.
    // Empty for anything else.
    virtual std::string walkableLinkTarget(const std::string& /*path*/) const { return {}; }
    // entryKind and removeEntry inside a folder a walk went into through a
    // link: `hostRoot`, as the walk recorded it, stands for the drive's root.
    virtual EntryKind entryKindWithin(const std::string& /*path*/,
                                      const std::string& /*hostRoot*/) const {
        return EntryKind::Outside;
    }
    virtual bool removeEntryWithin(const std::string& /*path*/, EntryKind /*kind*/,
                                   const std::string& /*hostRoot*/) const {
        return false;
    }
    // As removeEntry, for a file or a link, but into the system's wastebasket
    // (the freedesktop.org trash, the Recycle Bin), from where the user can
    // bring it back: `where` names the wastebasket it went to, `error` why not.
    virtual bool trashEntry(const std::string& /*path*/, EntryKind /*kind*/, std::string& /*where*/,
                            std::string& error) const {
        error = "no wastebasket";
        return false;
    }
    virtual bool trashEntryWithin(const std::string& /*path*/, EntryKind /*kind*/,
                                  const std::string& /*hostRoot*/, std::string& /*where*/,
                                  std::string& error) const {
        error = "no wastebasket";
        return false;
    }

    // The folder of the running program, with a trailing separator.
    virtual std::string programFolder() const = 0;
    // The per-user data folder ($XDG_DATA_HOME/vornak, %LOCALAPPDATA%\Vornak),
    // with a trailing separator; empty when there is none. It need not exist yet.
    virtual std::string userDataFolder() const { return {}; }
    // The one folder for the program's own files in place of both of those,
    // with a trailing separator (a managed Wine prefix keeps its own apart);
    // empty when the usual rule holds.
    virtual std::string separateOwnFilesFolder() const { return {}; }
    // The host path for a program path (identity on Windows). Off Windows a
    // drive path is resolved as Windows resolves it: each component by its
    // exact name when that exists, else by a name differing only in letter case.
    virtual std::string toHostPath(const std::string& path) const = 0;
    // The program path for a host path (through the drive map off Windows).
    virtual std::string fromHostPath(const std::string& hostPath) const = 0;
};

// The file system of this host, with the drive map from the environment.
std::shared_ptr<FileSystem> hostFileSystem();
// The same with an explicit drive map (letter -> host root folder), program folder
// and per-user data folder (none when empty).
std::shared_ptr<FileSystem> makeFileSystem(std::map<char, std::string> drives,
                                           std::string programHostFolder = {},
                                           std::string userDataHostFolder = {});
// The program's own files (hidden.dat, the logs folder) live beside the program.
// When its folder cannot be written (a limited user, a system install) they live
// in the per-user data folder instead, as Windows' per-user virtual store keeps
// them for such programs, and once they are there they are used from there.
//   ownFileForReading: the path of `name` to read: the per-user copy when it
//     exists, else the one beside the program.
//   ownFilesFolder: the folder (with its trailing separator) to write `name` in.
//   makeFolders: creates `folder` and every missing folder above it.
std::string ownFileForReading(const FileSystem& fs, const std::string& name);
std::string ownFilesFolder(const FileSystem& fs, const std::string& name);
bool makeFolders(const FileSystem& fs, const std::string& folder);

// Parses a VORNAK_DRIVES value; letters are upper-cased.
std::map<char, std::string> parseDriveMap(const std::string& text);

// The file system the program uses; tests may replace it.
std::shared_ptr<FileSystem> defaultFileSystem();
void setDefaultFileSystem(std::shared_ptr<FileSystem> fs);

}  // namespace vornak::platform
