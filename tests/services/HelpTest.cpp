// Help: what the shell is asked, and where the page standing in for the help
// file is looked for.
#include <gtest/gtest.h>

#include <stdexcept>

#include "language/MessageCatalogue.h"
#include "services/Help.h"
#include "support/RecordingShell.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;

TEST(HelpTest, ShowsContextOneOfTheHelpFileOrSaysWhereItIs) {
    test::RecordingShell shell;
    test::ScriptedDialogs dialogs;
    services::showHelp(&shell, dialogs, "Uninstaller.HLP");
    EXPECT_EQ(shell.helpShown, (std::vector<test::RecordingShell::Help>{{"Uninstaller.HLP", 1}}));
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_THROW(services::showHelp(nullptr, dialogs, "Uninstaller.HLP"), std::runtime_error);

    // Nothing on this desktop shows it: the user is told which page to open.
    shell.browser = false;
    services::showHelp(&shell, dialogs, "Uninstaller.HLP");
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].text,
              formatMessage(Msg::fmtHelpNotOpened, {std::string("/help/Uninstaller.HLP")}));
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
