// Help: what the shell is asked, and where the page standing in for the help
// file is looked for.
#include <gtest/gtest.h>

#include <stdexcept>

#include "services/Help.h"
#include "support/RecordingShell.h"

using namespace vornak;

TEST(HelpTest, ShowsContextOneOfTheHelpFile) {
    test::RecordingShell shell;
    services::showHelp(&shell, "Uninstaller.HLP");
    EXPECT_EQ(shell.helpShown, (std::vector<test::RecordingShell::Help>{{"Uninstaller.HLP", 1}}));
    EXPECT_THROW(services::showHelp(nullptr, "Uninstaller.HLP"), std::runtime_error);
}

TEST(HelpTest, TheHtmlPageLiesBesideTheProgramUnlessTheFileNamesAFolder) {
    EXPECT_EQ(services::helpPagePath("Uninstaller.HLP", "/opt/vornak/"),
              "/opt/vornak/Uninstaller.html");
    EXPECT_EQ(services::helpPagePath("Uninstaller.HLP", "/opt/vornak"),
              "/opt/vornak/Uninstaller.html");
    EXPECT_EQ(services::helpPagePath("/usr/share/doc/v.2/Manual", "/opt/vornak/"),
              "/usr/share/doc/v.2/Manual.html");
    EXPECT_EQ(services::helpPageAnchor(1), "");
    EXPECT_EQ(services::helpPageAnchor(7), "context-7");
}
