// The update check: ask the maker's update script for the newest version's
// number and answer with one of three messages; a newer version offers the web
// site. One check at a time: pressing the command again while an answer is
// awaited does nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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
    UpdateCheck(platform::Dialogs& dialogs, std::shared_ptr<platform::Shell> shell);

    void SoegEfterOpdateringerClick();
    void WebsiteClick();
    bool waiting() const { return waiting_; }

    // Test hook: tests of a server that never answers wait less.
    void setTimeLimitForTesting(std::chrono::milliseconds limit) { timeLimit_ = limit; }

  private:
    platform::Shell& shell() const;

    platform::Dialogs& dialogs_;
    std::shared_ptr<platform::Shell> shell_;
    std::chrono::milliseconds timeLimit_ = kUpdateTimeLimit;
    bool waiting_ = false;
};

}  // namespace vornak::services
