// Steam's libraryfolders.vdf as Steam writes it, in its current and its older form.
#include <gtest/gtest.h>

#include "platform/wine/SteamLibraries.h"

using vornak::platform::posix::parseSteamLibraryFolders;
using Paths = std::vector<std::string>;

TEST(SteamLibraries, ThePathsOfTheListedLibrariesAndNothingElse) {
    const struct {
        const char* name;
        std::string text;
        Paths paths;
    } cases[] = {
        {"current form, with the apps of each library",
         "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"/home/u/.local/share/Steam\"\n"
         "\t\t\"label\"\t\t\"\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"228980\"\t\t\"/not/a/"
         "library\"\n\t\t}\n\t}\n"
         "\t\"1\"\n\t{\n\t\t\"path\"\t\t\"/mnt/My "
         "\\\"Games\\\"\\\\Steam\"\n\t\t\"contentid\"\t\t\"42\"\n\t}\n}\n",
         {"/home/u/.local/share/Steam", "/mnt/My \"Games\"\\Steam"}},
        {"older form: numbered values are the paths",
         "\"LibraryFolders\"\r\n{\r\n\t\"TimeNextStatsReport\"\t\t\"1700000000\"\r\n"
         "\t\"ContentStatsID\"\t\t\"-1\"\r\n\t\"1\"\t\t\"/data/SteamLibrary\"\r\n}\r\n",
         {"/data/SteamLibrary"}},
        {"comments and unquoted words",
         "// written by Steam\nlibraryfolders { 0 { path /games/lib // the second disk\n } }\n",
         {"/games/lib"}},
        {"another file's blocks are not libraries", "\"config\" { \"1\" { \"path\" \"/x\" } }", {}},
        {"an unterminated text ends what is trusted",
         "\"libraryfolders\" { \"0\" { \"path\" \"/ok\" } \"1\" { \"path\" \"/cut",
         {"/ok"}},
        {"empty", "", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseSteamLibraryFolders(c.text), c.paths) << c.name;
}
