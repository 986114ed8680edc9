// The Dialogs of the running program: Qt message boxes, input box, font and
// save-file dialogs, each owned by the window that is active at the time.
#pragma once

#include "platform/Dialogs.h"

class QWidget;
class QString;

namespace vornak::app {

class QtDialogs : public platform::Dialogs {
  public:
    void showMessage(const std::string& text) override;
    platform::DialogButton messageDialog(const std::string& text, platform::DialogKind kind,
                                         uint32_t buttons) override;
    bool askYesNo(const std::string& text, const std::string& title) override;
    std::optional<std::string> inputBox(const std::string& title, const std::string& prompt,
                                        const std::string& text) override;
    std::optional<size_t> chooseItem(const std::string& title, const std::string& prompt,
                                     const std::vector<std::string>& items) override;
    std::optional<platform::FontChoice> chooseFont(const platform::FontChoice& current) override;
    std::optional<std::string> saveFileName(const platform::SaveFileOptions& options) override;
    void showError(const std::string& text) override;
};

// "Desc|*.ext|Desc|*.*" as a Qt file dialog filter ("Desc (*.ext);;Desc (*.*)").
QString qtFileFilter(const std::string& filter);

}  // namespace vornak::app
