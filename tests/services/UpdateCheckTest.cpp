// The update check against a web server inside the test: what it asks, how it
// reads the answer, how a failed or missing answer ends, and what a build
// without a server says instead.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "language/MessageCatalogue.h"
#include "registry/CommandDispatch.h"
#include "services/MakerServer.h"
#include "services/UpdateCheck.h"
#include "support/HttpTestServer.h"
#include "support/RecordingShell.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using platform::DialogKind;
using test::ScriptedDialogs;

namespace {

struct QtApplication : ::testing::Environment {
    int argc = 1;
    char name[16] = "update-test";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QCoreApplication> app;
    void SetUp() override { app = std::make_unique<QCoreApplication>(argc, argv); }
    void TearDown() override { app.reset(); }
};
const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtApplication);

class UpdateCheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        messages().set(Msg::msgUpdateAvailable, "newer");
        messages().set(Msg::msgNoUpdate, "newest");
        messages().set(Msg::msgUpdateCheckFailed, "unreadable");
        setenv("VORNAK_UPDATE_SERVER", server.address().c_str(), 1);
    }
    void TearDown() override {
        unsetenv("VORNAK_UPDATE_SERVER");
        messages().clear();
    }
    // Runs the command as the window does, through the dispatch; it returns at
    // once, and the answer comes through the event loop.
    bool start() {
        return runCommand(dialogs, [&] { update.SoegEfterOpdateringerClick(); });
    }
    // Starts a check and waits for its answer to be shown.
    bool check() {
        const bool started = start();
        QDeadlineTimer bound(30000);
        while (update.waiting() && !bound.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        EXPECT_FALSE(update.waiting());
        return started;
    }

    test::HttpTestServer server;
    ScriptedDialogs dialogs;
    std::shared_ptr<test::RecordingShell> shell = std::make_shared<test::RecordingShell>();
    std::vector<bool> waitingTold;
    services::UpdateCheck update{dialogs, shell, [this](bool on) { waitingTold.push_back(on); }};
};

TEST_F(UpdateCheckTest, AsksTheUpdateScriptWithBothHeaders) {
    server.answer("21300");
    ASSERT_TRUE(check());
    // The window was told that a check ran, and that it ended.
    EXPECT_EQ(waitingTold, (std::vector<bool>{true, false}));
    ASSERT_EQ(server.requests(), 1);
    const std::string& head = server.lastRequest();
    EXPECT_EQ(head.rfind("GET /update.php?appid=4 HTTP/1.1\r\n", 0), 0u) << head;
    EXPECT_NE(head.find("\r\nAccept: text/html, */*\r\n"), std::string::npos) << head;
    EXPECT_NE(head.find("\r\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"),
              std::string::npos)
        << head;
}

TEST_F(UpdateCheckTest, ANewerVersionOffersTheWebSite) {
    for (const char* body : {"21301", " 21400", "+21400"}) {
        SCOPED_TRACE(body);
        dialogs = ScriptedDialogs();
        shell->webAddresses.clear();
        server.answer(body);
        dialogs.buttonAnswers = {platform::kButtonYes};
        ASSERT_TRUE(check());
        ASSERT_EQ(dialogs.calls.size(), 1u);
        EXPECT_EQ(dialogs.calls[0].text, "newer");
        EXPECT_EQ(dialogs.calls[0].dialogKind, DialogKind::Confirmation);
        EXPECT_EQ(dialogs.calls[0].buttons, platform::kButtonYes | platform::kButtonNo);
        EXPECT_EQ(shell->webAddresses, std::vector<std::string>{server.address() + "/"});
    }
    // No opens nothing.
    shell->webAddresses.clear();
    dialogs.buttonAnswers = {platform::kButtonNo};
    ASSERT_TRUE(check());
    EXPECT_TRUE(shell->webAddresses.empty());
}

TEST_F(UpdateCheckTest, ThisVersionOrOlderIsTheNewest) {
    for (const char* body : {"21300", "-21400", "0"}) {
        SCOPED_TRACE(body);
        dialogs = ScriptedDialogs();
        server.answer(body);
        ASSERT_TRUE(check());
        ASSERT_EQ(dialogs.calls.size(), 1u);
        EXPECT_EQ(dialogs.calls[0].text, "newest");
        EXPECT_EQ(dialogs.calls[0].dialogKind, DialogKind::Information);
        EXPECT_EQ(dialogs.calls[0].buttons, platform::kButtonOk);
    }
    EXPECT_TRUE(shell->webAddresses.empty());
}

TEST_F(UpdateCheckTest, AnAnswerThatIsNotJustANumberCannotBeRead) {
    for (const char* body : {"21400\n", "21400\r\n", "21400 ", "version", "", " ", "+", "- 1",
                             "0x5400", "99999999999"}) {
        SCOPED_TRACE(testing::PrintToString(std::string(body)));
        dialogs = ScriptedDialogs();
        server.answer(body);
        ASSERT_TRUE(check());
        ASSERT_EQ(dialogs.calls.size(), 1u);
        EXPECT_EQ(dialogs.calls[0].text, "unreadable");
        EXPECT_EQ(dialogs.calls[0].dialogKind, DialogKind::Error);
        EXPECT_EQ(dialogs.calls[0].buttons, platform::kButtonOk);
    }
    EXPECT_TRUE(shell->webAddresses.empty());
}

TEST_F(UpdateCheckTest, ReadsTheWholeRangeOfWholeNumbers) {
    EXPECT_EQ(services::readVersionAnswer("2147483647"), 2147483647);
    EXPECT_EQ(services::readVersionAnswer("  -2147483648"), INT32_MIN);
    EXPECT_EQ(services::readVersionAnswer("2147483648"), std::nullopt);
    EXPECT_EQ(services::readVersionAnswer("00021301"), 21301);
}

TEST_F(UpdateCheckTest, AFailedRequestReachesTheErrorBoxWithTheClientsText) {
    server.answer("Internal Server Error", 500, "Internal Server Error");
    EXPECT_TRUE(check());
    ASSERT_EQ(dialogs.count(ScriptedDialogs::Kind::Error), 1u);
    EXPECT_NE(dialogs.calls.back().text.find("Internal Server Error"), std::string::npos)
        << dialogs.calls.back().text;

    // A port nobody listens on.
    dialogs = ScriptedDialogs();
    std::string refused;
    {
        test::HttpTestServer gone;
        refused = gone.address();
    }
    setenv("VORNAK_UPDATE_SERVER", refused.c_str(), 1);
    EXPECT_TRUE(check());
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, ScriptedDialogs::Kind::Error);
    EXPECT_NE(dialogs.calls[0].text.find("refused"), std::string::npos) << dialogs.calls[0].text;
    EXPECT_TRUE(shell->webAddresses.empty());
}

TEST_F(UpdateCheckTest, AServerThatNeverAnswersIsGivenUp) {
    server.stall();
    update.setTimeLimitForTesting(std::chrono::milliseconds(300));
    EXPECT_TRUE(check());
    EXPECT_EQ(server.requests(), 1);
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, ScriptedDialogs::Kind::Error);
    EXPECT_NE(dialogs.calls[0].text.find(server.address()), std::string::npos);
    EXPECT_FALSE(update.waiting());
}

TEST_F(UpdateCheckTest, AnAnswerWithoutEndIsNoNumber) {
    // More than any number, and the rest never comes: the check stops reading.
    server.answer(std::string(200 * 1024, '1'), 200, "OK", 1 << 30);
    update.setTimeLimitForTesting(std::chrono::seconds(10));
    ASSERT_TRUE(check());
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].text, "unreadable");
}

TEST_F(UpdateCheckTest, NoSecondCheckStartsWhileTheFirstWaits) {
    server.answer("21300");
    server.hold();
    bool secondRan = true;
    QTimer::singleShot(50, [&] {
        secondRan = start();
        server.release();
    });
    ASSERT_TRUE(check());
    EXPECT_FALSE(secondRan);
    EXPECT_EQ(server.requests(), 1);
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].text, "newest");
    // And once it has ended, the next check runs.
    ASSERT_TRUE(check());
    EXPECT_EQ(server.requests(), 2);
}

TEST_F(UpdateCheckTest, ABuildWithoutAServerSaysSoAndAsksNoOne) {
    messages().clear();  // the built-in English texts
    // The placeholder that stood in for the maker's server, and no server at all.
    for (const char* setting : {"www.vornak-software.example", ""}) {
        SCOPED_TRACE(setting);
        if (*setting)
            setenv("VORNAK_UPDATE_SERVER", setting, 1);
        else
            unsetenv("VORNAK_UPDATE_SERVER");
        if (!*setting && services::makerServerConfigured())
            GTEST_SKIP() << "this build names a server of its own";
        dialogs = ScriptedDialogs();
        EXPECT_TRUE(check());
        update.WebsiteClick();
        ASSERT_EQ(dialogs.calls.size(), 2u);
        EXPECT_EQ(dialogs.calls[0].text, messages().get(Msg::msgNoUpdateServer));
        EXPECT_NE(dialogs.calls[0].text.find("VORNAK_UPDATE_SERVER"), std::string::npos);
        EXPECT_EQ(dialogs.calls[1].text, messages().get(Msg::msgNoWebsite));
    }
    EXPECT_EQ(server.requests(), 0);
    EXPECT_TRUE(shell->webAddresses.empty());
    EXPECT_TRUE(waitingTold.empty());
}

TEST_F(UpdateCheckTest, WithoutABrowserTheWebSitesAddressIsShown) {
    shell->browser = false;
    server.answer("21301");
    dialogs.buttonAnswers = {platform::kButtonYes};
    ASSERT_TRUE(check());
    update.WebsiteClick();
    const std::string told = formatMessage(Msg::fmtWebsiteNotOpened, {server.address() + "/"});
    ASSERT_EQ(dialogs.calls.size(), 3u);
    EXPECT_EQ(dialogs.calls[1].text, told);
    EXPECT_EQ(dialogs.calls[2].text, told);
    EXPECT_EQ(shell->webAddresses.size(), 2u);
}

TEST(MakerServerTest, PlaceholdersAreNoServer) {
    for (const auto& [setting, configured] : std::vector<std::pair<std::string, bool>>{
             {"www.vornak-software.example", false},
             {"http://WWW.Vornak-Software.EXAMPLE:8080/", false},
             {"updates.invalid", false},
             {"example", false},
             {"host.test.", false},
             {"127.0.0.1:8080", true},
             {"updates.example.org", true},
             {"examples.com", true},
             {"http://[::1]:80", true},
         }) {
        EXPECT_EQ(services::makerServerConfigured(setting), configured) << setting;
    }
}

TEST(MakerServerTest, TheEnvironmentNamesTheServer) {
    EXPECT_EQ(services::makerServer("127.0.0.1:8080"), "http://127.0.0.1:8080");
    EXPECT_EQ(services::makerServer("http://updates.example.org/"), "http://updates.example.org");
    setenv("VORNAK_UPDATE_SERVER", "localhost:1234", 1);
    EXPECT_EQ(services::updateScriptAddress(), "http://localhost:1234/update.php?appid=4");
    EXPECT_EQ(services::websiteAddress(), "http://localhost:1234/");
    unsetenv("VORNAK_UPDATE_SERVER");
}

}  // namespace
