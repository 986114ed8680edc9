#include "cli/CliLanguage.h"

#include <iostream>

#include "language/LanguageEngine.h"
#include "language/LanguageSettings.h"
#include "registry/SilentAbort.h"

namespace vornak::cli {
namespace {

// The language engine fills the message catalogue as it sets the window
// texts; here there are no windows, so only its messages are kept.
class MessagesOnly : public LanguageSink {
  public:
    void setText(const Target&, const std::string&) override {}
    void setScrollingText(const Target&, const std::vector<std::string>&) override {}
    void setStatusText(const std::string&) override {}
    void showMessage(const std::string& text) override { std::cerr << text << std::endl; }
    int visibleRowCount() const override { return 0; }
    void addLanguageMenuItem(const LanguageMenuItem&) override {}
};

}  // namespace

void applyLanguage() {
    std::string name = "English";
    try {
        name = storedLanguage();
    } catch (const SilentAbort&) {
    }
    MessagesOnly sink;
    LanguageEngine(sink).ChangeLang(name);
}

}  // namespace vornak::cli
