// The update check: ask the maker's update script for the newest version's
// number and answer with one of three messages; a newer version offers the web
// site. The command only starts the check: the answer is shown when it comes,
// above whatever window is open then. One check at a time: pressing the command
// again while an answer is awaited does nothing. A build that names no server
// says so instead of asking the network.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "services/HttpGet.h"

namespace vornak::platform {
class Dialogs;
class Shell;
}  // namespace vornak::platform

namespace vornak::services {

// This version's number; an answer above it means a newer version exists.
inline constexpr int32_t kThisVersion = 21300;
// How long a server that does not answer is waited for.
inline constexpr std::chrono::seconds kUpdateTimeLimit{20};

// The script's whole answer as a whole number: blanks, then an optional sign,
// then decimal digits and nothing else, not even a line break. Nullopt when it
// is not one, or does not fit 32 bits.
std::optional<int32_t> readVersionAnswer(std::string_view body);

class UpdateCheck {
  public:
    // Told true when a check starts to wait for its answer and false when the
    // answer is in, before it is shown: the window shows that a check runs.
    using WaitingHook = std::function<void(bool waiting)>;

    UpdateCheck(platform::Dialogs& dialogs, std::shared_ptr<platform::Shell> shell,
                WaitingHook onWaiting = {});

    void SoegEfterOpdateringerClick();
    void WebsiteClick();
    bool waiting() const { return job_.running(); }

    // Test hook: tests of a server that never answers wait less.
    void setTimeLimitForTesting(std::chrono::milliseconds limit) { timeLimit_ = limit; }

  private:
    platform::Shell& shell() const;
    void answered(const HttpResult& result);

    platform::Dialogs& dialogs_;
    std::shared_ptr<platform::Shell> shell_;
    WaitingHook onWaiting_;
    std::chrono::milliseconds timeLimit_ = kUpdateTimeLimit;
    HttpGetJob job_;
};

}  // namespace vornak::services
