// Every modal question or message of the program goes through this interface:
// the windows install one that shows Qt dialogs, tests install a scripted one,
// the command-line tool one that talks to the terminal. Logic never shows a
// window itself.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vornak::platform {

enum class DialogKind { Error, Information, Confirmation };  // "Error", "Information", "Confirm"

enum DialogButton : uint32_t {
    kButtonOk = 0x1,
    kButtonCancel = 0x2,
    kButtonYes = 0x4,
    kButtonNo = 0x8,
};

struct FontChoice {
    std::string name;
    int charset = 0;  // Windows character set number (0 = ANSI)
    int pixelHeight = 0;
    bool bold = false;
    bool italic = false;
};

// What a save-file dialog is told besides its file-type filter.
struct SaveFileOptions {
    std::string filter;            // "Desc|*.ext|Desc|*.*"
    std::string defaultExtension;  // added to a name typed without one; empty: none
    bool confirmOverwrite = true;  // ask before an existing file is chosen
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Plain box titled with the application title, OK button, no icon.
    virtual void showMessage(const std::string& text) = 0;
    // Standard dialog with an icon kind and buttons; returns the button pressed.
    virtual DialogButton messageDialog(const std::string& text, DialogKind kind,
                                       uint32_t buttons) = 0;
    // Yes/No question with a question icon, Yes as default. True only on Yes.
    virtual bool askYesNo(const std::string& text, const std::string& title) = 0;
    // Input box: nullopt on Cancel, else the edited text.
    virtual std::optional<std::string> inputBox(const std::string& title,
                                                const std::string& prompt,
                                                const std::string& text) = 0;
    // A list to pick one item from, the first selected: its index, nullopt on Cancel.
    virtual std::optional<size_t> chooseItem(const std::string& /*title*/,
                                             const std::string& /*prompt*/,
                                             const std::vector<std::string>& /*items*/) {
        return std::nullopt;
    }
    // Font dialog preset with `current`; nullopt on Cancel.
    virtual std::optional<FontChoice> chooseFont(const FontChoice& current) = 0;
    // Save-file dialog; nullopt on Cancel (declining to overwrite included).
    virtual std::optional<std::string> saveFileName(const SaveFileOptions& options) = 0;
    // The general error box: the error's text, titled with the application title,
    // OK button and the error icon.
    virtual void showError(const std::string& text) = 0;
};

}  // namespace vornak::platform
