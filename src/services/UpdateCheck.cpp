#include "services/UpdateCheck.h"

#include <stdexcept>

#include "language/MessageCatalogue.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "registry/CommandDispatch.h"
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

UpdateCheck::UpdateCheck(platform::Dialogs& dialogs, std::shared_ptr<platform::Shell> shell,
                         WaitingHook onWaiting)
    : dialogs_(dialogs), shell_(std::move(shell)), onWaiting_(std::move(onWaiting)) {}

platform::Shell& UpdateCheck::shell() const {
    if (!shell_)
        throw std::runtime_error("No desktop shell is available to open web pages.");
    return *shell_;
}

void UpdateCheck::SoegEfterOpdateringerClick() {
    if (job_.running())
        throw SilentAbort();
    if (!makerServerConfigured()) {
        dialogs_.messageDialog(messages().get(Msg::msgNoUpdateServer),
                               platform::DialogKind::Information, platform::kButtonOk);
        return;
    }
    // A version number is a few bytes; a longer answer is no number.
    job_.start(
        {updateScriptAddress(),
         {{"Accept", "text/html, */*"}, {"User-Agent", "Mozilla/3.0 (compatible; Indy Library)"}},
         timeLimit_,
         kMaxAnswerBytes},
        [this](const HttpResult& result) { answered(result); });
    if (onWaiting_)
        onWaiting_(true);
}

void UpdateCheck::answered(const HttpResult& result) {
    if (onWaiting_)
        onWaiting_(false);
    // The command has long returned: what goes wrong now is shown here, as the
    // command dispatch would have.
    runCommand(dialogs_, [&] {
        if (!result.error.empty())
            throw std::runtime_error(result.error);
        const std::optional<int32_t> newest =
            result.tooLong ? std::nullopt : readVersionAnswer(result.body);
        if (!newest) {
            dialogs_.messageDialog(messages().get(Msg::msgUpdateCheckFailed),
                                   platform::DialogKind::Error, platform::kButtonOk);
        } else if (*newest <= kThisVersion) {
            dialogs_.messageDialog(messages().get(Msg::msgNoUpdate),
                                   platform::DialogKind::Information, platform::kButtonOk);
        } else if (dialogs_.messageDialog(
                       messages().get(Msg::msgUpdateAvailable), platform::DialogKind::Confirmation,
                       platform::kButtonYes | platform::kButtonNo) == platform::kButtonYes) {
            WebsiteClick();
        }
    });
}

void UpdateCheck::WebsiteClick() {
    if (!makerServerConfigured()) {
        dialogs_.messageDialog(messages().get(Msg::msgNoWebsite), platform::DialogKind::Information,
                               platform::kButtonOk);
        return;
    }
    const std::string address = websiteAddress();
    if (!shell().openWebAddress(address))
        dialogs_.messageDialog(messageText(Msg::fmtWebsiteNotOpened, {address}),
                               platform::DialogKind::Error, platform::kButtonOk);
}

}  // namespace vornak::services
