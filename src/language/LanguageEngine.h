// Applying a language file to the whole interface (ChangeLang), the Language
// menu and its click handler (LangShit). No widget code: the main window
// implements LanguageSink and does what the engine asks; tests record it.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "language/LanguageFile.h"
#include "language/MessageCatalogue.h"
#include "language/TranslationTable.h"
#include "platform/FileSystem.h"

namespace vornak {

// One item of the Language menu ("Sprog").
struct LanguageMenuItem {
    std::string label;       // the language name: file name without its last extension
    std::string identifier;  // "langMenu" + label; the item's objectName, handed back to LangShit
    int image = -1;          // 8 (the Danish flag of the menu bar's images) or -1 for none
};

constexpr int kDanishFlagImage = 8;

// What the main window provides to the engine. Every call comes on the user
// interface thread, from inside ChangeLang or BuildLanguageMenu. An exception
// thrown from a call counts as a failure of the apply (the error box is shown,
// nothing after it is set) or ends the menu building silently.
class LanguageSink {
  public:
    virtual ~LanguageSink() = default;

    // Set the text of one target: the control `target.control` (an objectName)
    // inside the window `target.window`, as `target.kind` says: Caption (button,
    // label, check box, radio button text), MenuItem (action text), Submenu (menu
    // title), WindowTitle (the window's own title; control is empty),
    // ColumnHeading (heading `target.column` of the list), DialogFilter (the save
    // dialog's "Desc|*.ext|..." filter). Never called for None, Message or
    // ScrollingText. Texts may hold '&' access-key marks and LF CR line breaks.
    virtual void setText(const Target& target, const std::string& text) = 0;

    // Replace all lines of the scrolling text control `target.control` of
    // `target.window`, then re-lay it out as after a resize.
    virtual void setScrollingText(const Target& target, const std::vector<std::string>& lines) = 0;

    // Panel 0 of the main window's status bar.
    virtual void setStatusText(const std::string& text) = 0;

    // A plain message box: OK button, no icon, titled with the application title
    // (the window side passes it to Dialogs::showMessage).
    virtual void showMessage(const std::string& text) = 0;

    // The number of rows the main list shows now.
    virtual int visibleRowCount() const = 0;

    // Create a menu item labelled `item.label` with objectName `item.identifier`,
    // the image `item.image` when it is not -1, whose click calls
    // LanguageEngine::LangShit(item.identifier); append it to the "Sprog" menu.
    virtual void addLanguageMenuItem(const LanguageMenuItem& item) = 0;

    // The language file has been read and its texts are about to be applied:
    // `locale` is its locale (languageLocale), empty when unknown, for the texts
    // the toolkit brings along. Not called when the file cannot be read.
    virtual void setLocale(const std::string& locale) { (void)locale; }
};

class LanguageEngine {
  public:
    explicit LanguageEngine(
        LanguageSink& sink,
        std::shared_ptr<platform::FileSystem> fileSystem = platform::defaultFileSystem(),
        MessageCatalogue& catalogue = messages());

    // Reads "<program folder>lang\<name>.lng" and sets every target of the
    // translation table in application order, then the status bar. Any failure
    // is reported to the user here with the error box; what was set before it
    // stays. The current language is `name` afterwards, whether or not it worked.
    void ChangeLang(const std::string& name);

    // Click handler of the Language menu items: the language is the item's
    // identifier with every "langMenu" (any letter case) removed.
    void LangShit(const std::string& senderIdentifier);

    // Lists "lang\*.lng" in the program folder, in the order the file system
    // gives, and hands one item per file to the sink. A file whose name makes no
    // valid identifier is left out; a sink that throws ends the building
    // silently, the items added before it staying. Returns the number added.
    int BuildLanguageMenu();

    // The name last passed to ChangeLang; empty before the first call. This is
    // what is saved as "lang" when the main window closes.
    const std::string& currentLanguage() const { return currentLanguage_; }

    // The text lines of the language file last read (comments removed).
    const TextLines& lines() const { return lines_; }

  private:
    void applyRow(const TranslationRow& row);

    LanguageSink& sink_;
    std::shared_ptr<platform::FileSystem> fs_;
    MessageCatalogue& catalogue_;
    std::string currentLanguage_;
    TextLines lines_;
};

// "(Message in English) An error has occurred with the language you have chosen
// (<name>), you should choose another language!"
std::string languageErrorText(const std::string& name);

// The language a menu item's identifier stands for (LangShit's rule).
std::string languageFromMenuIdentifier(std::string_view identifier);

// Whether `text` may serve as a menu item identifier: ASCII letters, digits, '_'.
bool isValidMenuIdentifier(std::string_view text);

// The Language menu items for the file names of a folder listing, in order,
// leaving out every name that makes an invalid identifier.
std::vector<LanguageMenuItem> languageMenuItems(const std::vector<std::string>& fileNames);

}  // namespace vornak
