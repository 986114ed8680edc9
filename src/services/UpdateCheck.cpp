#include "services/UpdateCheck.h"

#include <stdexcept>

#include "language/MessageCatalogue.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "registry/SilentAbort.h"
#include "services/HttpGet.h"
#include "services/MakerServer.h"

namespace vornak::services {
namespace {

constexpr int64_t kMaxAnswerBytes = 64 * 1024;

}  // namespace

std::optional<int32_t> readVersionAnswer(std::string_view body) {
    size_t i = 0;
    while (i < body.size() && body[i] == ' ')
        ++i;
    bool negative = false;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
        negative = body[i] == '-';
        ++i;
    }
    if (i == body.size())
        return std::nullopt;
    int64_t value = 0;
    for (; i < body.size(); ++i) {
        const char c = body[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > int64_t{INT32_MAX} + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

UpdateCheck::UpdateCheck(platform::Dialogs& dialogs, std::shared_ptr<platform::Shell> shell)
    : dialogs_(dialogs), shell_(std::move(shell)) {}

platform::Shell& UpdateCheck::shell() const {
    if (!shell_)
        throw std::runtime_error("No desktop shell is available to open web pages.");
    return *shell_;
}

void UpdateCheck::SoegEfterOpdateringerClick() {
    if (waiting_)
        throw SilentAbort();
    std::optional<int32_t> newest;
    try {
        struct Waiting {
            bool& flag;
            explicit Waiting(bool& f) : flag(f) { flag = true; }
            ~Waiting() { flag = false; }
        } guard(waiting_);
        // A version number is a few bytes; a longer answer is no number.
        newest =
            readVersionAnswer(httpGet({updateScriptAddress(),
                                       {{"Accept", "text/html, */*"},
                                        {"User-Agent", "Mozilla/3.0 (compatible; Indy Library)"}},
                                       timeLimit_,
                                       kMaxAnswerBytes}));
    } catch (const HttpAnswerTooLong&) {
        newest.reset();
    }
    if (!newest) {
        dialogs_.messageDialog(messages().get(Msg::msgUpdateCheckFailed),
                               platform::DialogKind::Error, platform::kButtonOk);
    } else if (*newest <= kThisVersion) {
        dialogs_.messageDialog(messages().get(Msg::msgNoUpdate), platform::DialogKind::Information,
                               platform::kButtonOk);
    } else if (dialogs_.messageDialog(
                   messages().get(Msg::msgUpdateAvailable), platform::DialogKind::Confirmation,
                   platform::kButtonYes | platform::kButtonNo) == platform::kButtonYes) {
        WebsiteClick();
    }
}

void UpdateCheck::WebsiteClick() {
    shell().openWebAddress(websiteAddress());
}

}  // namespace vornak::services
