// Which language-file line sets which text of which window, and the text each
// target shows before any language file has been applied (the built-in text).
// The windows take their initial texts from here and find the targets a
// language sets by the names below.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "language/MessageCatalogue.h"

namespace vornak {

// objectNames of the windows that have translated texts.
namespace window {
constexpr std::string_view kMain = "Form1";
constexpr std::string_view kHiddenFilterEditor = "HiddenFilterEditor";
constexpr std::string_view kAbout = "OmForm";
constexpr std::string_view kInfoEditor = "ViewEditInfoForm";
constexpr std::string_view kWizard = "AnalyzeForm";
}  // namespace window

// What a text line is assigned to. `control` is always an objectName inside
// the window named by `window`.
enum class TargetKind {
    None,           // the line must be present; its text is not used (lines 19, 23)
    Caption,        // text of a button, label, check box or radio button
    MenuItem,       // text of a command of a menu bar menu or of a pop-up menu (an action)
    Submenu,        // title of a menu of the main window's menu bar
    WindowTitle,    // title of `window`; `control` is empty
    ColumnHeading,  // heading of column `column` of the list `control`
    DialogFilter,   // file-type filter ("Desc|*.ext|...") of the save dialog `control`
    ScrollingText,  // all lines of the scrolling text control `control`
    Message,        // catalogue entry `message`; `window` and `control` are empty
};

struct Target {
    TargetKind kind = TargetKind::None;
    std::string_view window;
    std::string_view control;
    int column = 0;  // ColumnHeading only
    Msg message{};   // Message only
};

// How a line is changed before it is assigned.
enum class LineTransform {
    None,
    BreakLfCr,  // every backslash + n/N becomes LF CR (bytes 10, 13)
    BreakLf,    // every backslash + n/N becomes LF
};

struct TranslationRow {
    int line;  // text-line index, 0..101
    Target target;
    std::string_view builtIn;  // UTF-8; empty for messages and lines without target
    LineTransform transform;
    std::string_view arguments;  // messages: one letter per argument, 's' text, 'd' integer
};

// The translation table's lines; a language file may hold more: the added
// lines of the message catalogue (addedLines()) follow as line 102 on.
constexpr int kLanguageLineCount = 102;

// Every row in application order: ascending line index, except that the second
// uses of lines 59 and 61 (Label4, btnCancel_02) follow line 62, the second use
// of line 60 (Label13) follows line 75, and the third use of line 61
// (btnCancel_03) follows line 80.
std::span<const TranslationRow> translationTable();

// The built-in text of a target; `column` matters for column headings only.
// Throws std::invalid_argument for a target the table does not have, so a
// misspelt name shows at once.
std::string_view builtInText(std::string_view windowName, std::string_view control, int column = 0);

// The argument kinds of a catalogue entry ("s", "d" or "" for plain messages).
std::string_view messageArguments(Msg role);

// `line` with its transform applied.
std::string transformLine(LineTransform transform, std::string_view line);

}  // namespace vornak
