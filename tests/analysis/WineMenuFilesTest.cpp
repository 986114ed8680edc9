// Which of the user's files count as Wine's menu files: recorded by the walk
// and allowed to the removal, on a drive Z that leads to a home of the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "analysis/WineMenuFiles.h"
#include "support/TempDir.h"

using namespace vornak;
using namespace vornak::analysis;

namespace {

std::vector<std::string> linesOf(const LineArena& arena) {
    std::vector<std::string> out;
    for (size_t i = 0; i < arena.size(); ++i)
        out.emplace_back(arena[i]);
    std::sort(out.begin(), out.end());
    return out;
}

TEST(WineMenuFilesTest, OnlyWinesOwnFilesAreRecordedAndRemovable) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: a prefix's drive Z and symbolic links";
#else
    test::TempDir tmp;
    const std::string data = tmp.str() + "/home/data", config = tmp.str() + "/home/config";
    tmp.write("home/data/applications/wine/Programs/Acme/Acme.desktop", "Icon=1A2B_acme.0\n");
    tmp.write("home/data/applications/wine/Programs/Acme/.hidden", "");
    tmp.write("home/data/applications/wine/.cache/x.desktop", "Icon=hidden\n");
    tmp.write("home/data/applications/mine.desktop", "Icon=mine\n");
    tmp.write("home/data/desktop-directories/wine-Programs-Acme.directory", "");
    tmp.write("home/data/desktop-directories/mine.directory", "");
    tmp.write("home/data/icons/hicolor/index.theme", "");
    tmp.write("home/data/icons/hicolor/32x32/apps/1A2B_acme.0.png", "");
    tmp.write("home/data/icons/hicolor/32x32/apps/3C4D_listed.0.png", "");
    tmp.write("home/data/icons/hicolor/32x32/apps/mine.png", "");
    tmp.write("home/data/icons/hicolor/32x32/apps/hidden.png", "");
    tmp.write("home/data/icons/hicolor/32x32/mimetypes/1A2B_acme.0.png", "");
    tmp.write("home/config/menus/applications-merged/wine-Programs-Acme-Acme.menu", "");
    tmp.write("home/config/menus/applications-merged/mine.menu", "");
    // A menu entry the prefix lists where the walk does not look.
    tmp.write("home/Desktop/Listed.desktop", "[Desktop Entry]\nIcon=3C4D_listed.0\r\n");
    // A link in Wine's folder is a file of its own, never a way out.
    tmp.write("elsewhere/secret.txt", "");
    std::filesystem::create_directory_symlink(tmp.path() / "elsewhere",
                                              data + "/applications/wine/Programs/Linked");

    const auto fs = platform::makeFileSystem({{'Z', tmp.str()}, {'C', tmp.str() + "/c"}});
    const WineMenuPlaces places{data, config, {"Z:\\home\\Desktop\\Listed.desktop"}};
    LineArena arena;
    const WineMenuWalk walk = collectWineMenuLines(*fs, places, arena);
    const std::string d = "Z:\\home\\data\\", c = "Z:\\home\\config\\", dir = "\t<- dir";
    const std::vector<std::string> recorded{
        c + "menus" + dir,
        c + "menus\\applications-merged" + dir,
        c + "menus\\applications-merged\\wine-Programs-Acme-Acme.menu",
        d + "applications" + dir,
        d + "applications\\wine" + dir,
        d + "applications\\wine\\Programs" + dir,
        d + "applications\\wine\\Programs\\Acme" + dir,
        d + "applications\\wine\\Programs\\Acme\\.hidden",
        d + "applications\\wine\\Programs\\Acme\\Acme.desktop",
        d + "applications\\wine\\Programs\\Linked",
        d + "desktop-directories" + dir,
        d + "desktop-directories\\wine-Programs-Acme.directory",
        d + "icons" + dir,
        d + "icons\\hicolor" + dir,
        d + "icons\\hicolor\\32x32" + dir,
        d + "icons\\hicolor\\32x32\\apps" + dir,
        d + "icons\\hicolor\\32x32\\apps\\1A2B_acme.0.png",
        d + "icons\\hicolor\\32x32\\apps\\3C4D_listed.0.png",
    };
    EXPECT_EQ(linesOf(arena), recorded);
    EXPECT_EQ(walk.found, static_cast<int32_t>(recorded.size()));
    EXPECT_TRUE(walk.unreachable.empty());

    for (const std::string& line : recorded) {
        const std::string path = line.substr(0, line.find('\t'));
        const bool folder = line.size() > path.size();
        EXPECT_EQ(wineMenuRootOf(*fs, places, path, folder), line.rfind(c, 0) == 0 ? config : data)
            << path;
        // Shared folders only as folders, Wine's files only as files.
        if (path.find("\\wine") == std::string::npos) {
            EXPECT_EQ(wineMenuRootOf(*fs, places, path, !folder), "") << path;
        }
    }
    for (const std::string& path : std::vector<std::string>{
             d + "applications\\mine.desktop", d + "desktop-directories\\mine.directory",
             d + "icons\\hicolor\\index.theme", d + "icons\\hicolor\\32x32\\mimetypes\\x.png",
             c + "menus\\applications-merged\\mine.menu", "Z:\\home\\Desktop\\x",
             "C:\\home\\data\\applications\\wine\\x"})
        EXPECT_EQ(wineMenuRootOf(*fs, places, path, false), "") << path;
    for (const std::string& path :
         std::vector<std::string>{d + "mime", d + "icons\\hicolor\\32x32\\mimetypes"})
        EXPECT_EQ(wineMenuRootOf(*fs, places, path, true), "") << path;

    // No drive leads to the home: nothing of it can be named in a log.
    LineArena none;
    const auto unmapped = platform::makeFileSystem({{'C', tmp.str() + "/c"}});
    EXPECT_EQ(collectWineMenuLines(*unmapped, places, none).unreachable,
              (std::vector<std::string>{data, config}));
    EXPECT_TRUE(none.empty());
#endif
}

}  // namespace
