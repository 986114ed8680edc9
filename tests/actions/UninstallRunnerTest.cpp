// The run itself, on this thread, with a host that records what it is handed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "actions/UninstallRunner.h"
#include "platform/ProcessLauncher.h"
#include "support/RegistryFixture.h"

using namespace vornak;
using namespace vornak::actions;

namespace {

struct RecordingHost : RunnerHost {
    std::vector<std::string> calls;
    void showRunStatus(Msg role, const std::string& name) override {
        calls.push_back(std::string(messageName(role)) + " " + name);
    }
    void refreshAndRefilter() override { calls.push_back("refresh"); }
};

class UninstallRunnerTest : public test::RegistryFixture {};

}  // namespace

TEST_F(UninstallRunnerTest, ReportsStartEndAndRebuildInOrder) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: the uninstaller is a shell script";
#else
    const auto path = tmp.write("drive c/un.exe", "#!/bin/sh\nexit 3\n");
    chmod(path.c_str(), 0755);
    auto host = std::make_shared<RecordingHost>();
    RunUninstaller(R"(C:\un.exe /S)", "Acme", platform::hostProcessLauncher(), host).Execute();
    EXPECT_EQ(host->calls, (std::vector<std::string>{"fmtUninstallStarted Acme",
                                                     "fmtUninstallFinished Acme", "refresh"}));
    host->calls.clear();
    RunUninstaller(R"("C:\gone.exe" /S)", "Gone", platform::hostProcessLauncher(), host).Execute();
    EXPECT_EQ(host->calls, (std::vector<std::string>{"fmtUninstallNotStarted Gone", "refresh"}));
#endif
}

TEST_F(UninstallRunnerTest, ALineThatDoesNotFitTheNameIsShownAsItStands) {
    messages().set(Msg::fmtUninstallStarted, "%s started");
    EXPECT_EQ(runStatusText(Msg::fmtUninstallStarted, "Acme"), "Acme started");
    messages().set(Msg::fmtUninstallStarted, "%d started");
    EXPECT_EQ(runStatusText(Msg::fmtUninstallStarted, "Acme"), "%d started");
    messages().clear();
}
