#include "analysis/WineMenuFiles.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string_view>

#include "analysis/TextLines.h"

namespace vornak::analysis {
namespace {

using Kind = platform::FileSystem::EntryKind;

constexpr std::string_view kDirSuffix = "\t<- dir";
constexpr uint32_t kEverything = platform::kAttrReadOnly | platform::kAttrHidden |
                                 platform::kAttrSystem | platform::kAttrVolumeLabel |
                                 platform::kAttrDirectory | platform::kAttrArchive;
// A menu entry is a few hundred bytes; anything near this is not Wine's.
constexpr uintmax_t kMaxEntrySize = 64 * 1024;
constexpr platform::ReadLimit kMenuEntryLimit{kMaxEntrySize, "menu entry"};

bool startsWith(std::string_view text, std::string_view head) {
    return text.substr(0, head.size()) == head;
}
bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}
// "wine-" + something + `extension`: the names Wine gives its menu folders
// and menus, beside those of every other program in the same folder.
bool isWineName(std::string_view name, std::string_view extension) {
    return name.size() > 5 + extension.size() && startsWith(name, "wine-") &&
           endsWith(name, extension);
}

// Absolute folders only, as the base directory rules want; a trailing '/' dropped.
std::string hostFolder(const char* variable, const char* belowHome) {
    std::string folder;
    if (const char* value = std::getenv(variable); value && value[0] == '/') {
        folder = value;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        folder = std::string(home) + "/" + belowHome;
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

bool isDrivePath(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

bool isUnwritableName(std::string_view name) {
    return name.find_first_of("\t\r\n\\") != std::string_view::npos;
}

// The Icon= of a menu entry: a name looked up in the icon theme, not a path.
std::string iconName(std::string_view entry) {
    for (std::string_view line : splitLines(entry)) {
        if (!startsWith(line, "Icon="))
            continue;
        std::string_view name = line.substr(5);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
            name.remove_suffix(1);
        if (name.empty() || name.find('/') != std::string_view::npos || isUnwritableName(name))
            return {};
        return std::string(name);
    }
    return {};
}

class Walker {
  public:
    Walker(const platform::FileSystem& fs, WineMenuWalk& out, LineArena& lines)
        : fs_(fs), out_(out), lines_(lines) {}

    // The drive path for a host folder, empty when no drive leads there.
    std::string reach(const std::string& host) {
        const std::string path = host.empty() ? std::string() : fs_.fromHostPath(host);
        if (!isDrivePath(path) || path.find_first_of("\t\r\n") != std::string::npos) {
            if (!host.empty())
                out_.unreachable.push_back(host);
            return {};
        }
        return path;
    }

    void setBase(const std::string& host) { base_ = host; }

    // Its line when `path` is a real folder (not a link to one) inside the base.
    bool folder(const std::string& path) {
        if (fs_.entryKindWithin(path, base_) != Kind::Folder)
            return false;
        addFolder(path);
        return true;
    }

    // Every entry of the folder `path` as the drive walk takes them: folders
    // neither hidden nor system, and every file. `wanted` says which file
    // names count; folders go to `onFolder`.
    template <typename FileFilter, typename OnFolder>
    void list(const std::string& path, FileFilter wanted, OnFolder onFolder) {
        std::vector<std::string> folders;
        const bool listed =
            fs_.findFiles(path + "\\*.*", kEverything, [&](const platform::DirEntry& entry) {
                if (entry.name == "." || entry.name == "..")
                    return;
                const bool isFolder = (entry.attributes & platform::kAttrDirectory) != 0;
                if (isFolder &&
                    !platform::passesAttributeFilter(entry.attributes, platform::kAttrDirectory))
                    return;
                if (!isFolder && !wanted(entry))
                    return;
                if (isUnwritableName(entry.name)) {
                    ++out_.skipped;
                    return;
                }
                const std::string child = path + "\\" + entry.name;
                if (isFolder) {
                    folders.push_back(child);
                } else {
                    lines_.add(child);
                    ++out_.found;
                }
            });
        if (!listed) {
            out_.unreadFolders.push_back(path);
            return;
        }
        for (const std::string& child : folders)
            onFolder(child);
    }

    void addFolder(const std::string& path) {
        lines_.add({path, kDirSuffix});
        ++out_.found;
    }

    // The Icon= of a menu entry at `path`, when it is a plain file of a
    // menu entry's size.
    std::string iconOf(const std::string& path) const {
        std::error_code ec;
        const std::filesystem::path host = fs_.toHostPath(path);
        const auto status = std::filesystem::symlink_status(host, ec);
        if (ec || !std::filesystem::is_regular_file(status) ||
            std::filesystem::file_size(host, ec) > kMaxEntrySize || ec)
            return {};
        const auto text = fs_.readFile(path, kMenuEntryLimit);
        return text ? iconName(*text) : std::string();
    }

  private:
    const platform::FileSystem& fs_;
    WineMenuWalk& out_;
    LineArena& lines_;
    std::string base_;
};

// Components of `host` below `base`; nullopt when it is not below it.
std::optional<std::vector<std::string_view>> below(std::string_view host, std::string_view base) {
    if (base.empty() || host.size() <= base.size() + 1 || !startsWith(host, base) ||
        (host[base.size()] != '/' && base != "/"))
        return std::nullopt;
    std::string_view rest = host.substr(base == "/" ? 1 : base.size() + 1);
    std::vector<std::string_view> parts;
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        parts.push_back(rest.substr(0, slash));
        if (slash == std::string_view::npos)
            break;
        rest.remove_prefix(slash + 1);
    }
    return parts;
}

}  // namespace

std::optional<WineMenuPlaces> wineMenuPlacesFromEnvironment(std::vector<std::string> listedFiles) {
    WineMenuPlaces places{hostFolder("XDG_DATA_HOME", ".local/share"),
                          hostFolder("XDG_CONFIG_HOME", ".config"), std::move(listedFiles)};
    if (places.dataHome.empty() && places.configHome.empty())
        return std::nullopt;
    return places;
}

std::optional<WineMenuPlaces> wineMenuPlaces(platform::RegistryStore& store) {
    if (!store.isWinePrefix())
        return std::nullopt;
    // Value names are the files, as Wine names host files: "\\?\Z:\...".
    std::vector<std::string> listed;
    auto registry = store.accessor();
    std::unique_ptr<platform::RegKey> key;
    if (registry->openKey(platform::RegRoot::CurrentUser, "Software\\Wine\\MenuFiles",
                          platform::RegAccess::Read, key) == platform::RegStatus::Ok) {
        platform::RegValue value;
        for (uint32_t i = 0; registry->enumValue(*key, i, value) == platform::RegStatus::Ok; ++i) {
            std::string_view name = value.name;
            if (startsWith(name, "\\\\?\\"))
                name.remove_prefix(4);
            if (isDrivePath(name))
                listed.emplace_back(name);
        }
    }
    return wineMenuPlacesFromEnvironment(std::move(listed));
}

WineMenuWalk collectWineMenuLines(const platform::FileSystem& fs, const WineMenuPlaces& places,
                                  LineArena& lines) {
    WineMenuWalk out;
    Walker walk(fs, out, lines);
    const auto anyFile = [](const platform::DirEntry&) { return true; };
    const auto noFile = [](const platform::DirEntry&) { return false; };
    const auto noFolders = [](const std::string&) {};

    if (const std::string data = walk.reach(places.dataHome); !data.empty()) {
        walk.setBase(places.dataHome);
        std::set<std::string> icons;
        for (const std::string& listed : places.listedFiles)
            if (endsWith(listed, ".desktop"))
                if (std::string icon = walk.iconOf(listed); !icon.empty())
                    icons.insert(std::move(icon));

        if (walk.folder(data + "\\applications") && walk.folder(data + "\\applications\\wine")) {
            // Every menu entry of every prefix: an icon one of them names is
            // in use, whichever prefix wrote it.
            const std::function<void(const std::string&)> tree = [&](const std::string& path) {
                walk.addFolder(path);
                walk.list(
                    path,
                    [&](const platform::DirEntry& entry) {
                        if (endsWith(entry.name, ".desktop"))
                            if (std::string icon = walk.iconOf(path + "\\" + entry.name);
                                !icon.empty())
                                icons.insert(std::move(icon));
                        return true;
                    },
                    tree);
            };
            walk.list(data + "\\applications\\wine", anyFile, tree);
        }
        if (const std::string folder = data + "\\desktop-directories"; walk.folder(folder))
            walk.list(
                folder,
                [](const platform::DirEntry& entry) {
                    return isWineName(entry.name, ".directory");
                },
                noFolders);
        if (walk.folder(data + "\\icons") && walk.folder(data + "\\icons\\hicolor")) {
            const auto iconFile = [&](const platform::DirEntry& entry) {
                const size_t dot = entry.name.rfind('.');
                return dot != std::string::npos && icons.count(entry.name.substr(0, dot)) > 0;
            };
            walk.list(data + "\\icons\\hicolor", noFile, [&](const std::string& size) {
                walk.addFolder(size);
                if (walk.folder(size + "\\apps"))
                    walk.list(size + "\\apps", iconFile, noFolders);
            });
        }
    }
    if (const std::string config = walk.reach(places.configHome); !config.empty()) {
        walk.setBase(places.configHome);
        const std::string menus = config + "\\menus";
        if (walk.folder(menus) && walk.folder(menus + "\\applications-merged"))
            walk.list(
                menus + "\\applications-merged",
                [](const platform::DirEntry& entry) { return isWineName(entry.name, ".menu"); },
                noFolders);
    }
    return out;
}

std::string wineMenuRootOf(const platform::FileSystem& fs, const WineMenuPlaces& places,
                           const std::string& path, bool isFolder) {
    if (!isDrivePath(path))
        return {};
    const std::string host = fs.toHostPath(path);
    // The folders on the way are shared with other programs: only as
    // folders, which the removal takes only when empty.
    if (const auto parts = below(host, places.dataHome)) {
        const auto& p = *parts;
        const size_t n = p.size();
        const bool wine =
            (p[0] == "applications" && (n == 1 ? isFolder : p[1] == "wine")) ||
            (p[0] == "desktop-directories" &&
             (n == 1 ? isFolder : n == 2 && !isFolder && isWineName(p[1], ".directory"))) ||
            (p[0] == "icons" && n <= 5 && (n == 1 || p[1] == "hicolor") &&
             (n < 4 || p[3] == "apps") && isFolder == (n < 5));
        if (wine)
            return places.dataHome;
    }
    if (const auto parts = below(host, places.configHome)) {
        const auto& p = *parts;
        const size_t n = p.size();
        if (p[0] == "menus" && n <= 3 && (n == 1 || p[1] == "applications-merged") &&
            isFolder == (n < 3) && (n < 3 || isWineName(p[2], ".menu")))
            return places.configHome;
    }
    return {};
}

}  // namespace vornak::analysis
