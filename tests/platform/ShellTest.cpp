#include <gtest/gtest.h>

#include "platform/Shell.h"

using namespace vornak::platform;

namespace {

TEST(WindowsShell, HelpIsTheHtmlPageBesideTheProgramWithTheTopicsAnchor) {
    EXPECT_EQ(windowsHelpTarget("Uninstaller.HLP", 1, "C:\\Vornak"), "C:\\Vornak\\Uninstaller.html");
    EXPECT_EQ(windowsHelpTarget("Uninstaller.HLP", 1, "C:\\Vornak\\"), "C:\\Vornak\\Uninstaller.html");
    // A file that names its folder stays there; a dot in a folder is no extension.
    EXPECT_EQ(windowsHelpTarget("D:/Docs/Other.hlp", 1, "C:\\Vornak"), "D:\\Docs\\Other.html");
    EXPECT_EQ(windowsHelpTarget("D:\\v2.1\\help", 1, "C:\\Vornak"), "D:\\v2.1\\help.html");
    EXPECT_EQ(windowsHelpTarget("Uninstaller.HLP", 7, "C:\\Program Files\\Vornak"),
              "file:///C:/Program Files/Vornak/Uninstaller.html#context-7");
}

}  // namespace
