// The translation table as data, in application order.
#include "language/TranslationTable.h"

#include <array>
#include <stdexcept>
#include <string>

namespace vornak {

namespace {

using K = TargetKind;
using T = LineTransform;

constexpr TranslationRow message(int line, Msg role, std::string_view arguments = "",
                                 T transform = T::None) {
    return {line, {K::Message, {}, {}, 0, role}, {}, transform, arguments};
}

constexpr TranslationRow text(int line, K kind, std::string_view win, std::string_view control,
                              std::string_view builtIn, T transform = T::None) {
    return {line, {kind, win, control, 0, Msg{}}, builtIn, transform, {}};
}

constexpr TranslationRow onMain(int line, K kind, std::string_view control,
                                std::string_view builtIn, T transform = T::None) {
    return text(line, kind, window::kMain, control, builtIn, transform);
}

constexpr TranslationRow wizard(int line, K kind, std::string_view control,
                                std::string_view builtIn) {
    return text(line, kind, window::kWizard, control, builtIn);
}

constexpr TranslationRow info(int line, K kind, std::string_view control,
                              std::string_view builtIn) {
    return text(line, kind, window::kInfoEditor, control, builtIn);
}

constexpr TranslationRow heading(int line, std::string_view win, std::string_view control,
                                 int column, std::string_view builtIn) {
    return {line, {K::ColumnHeading, win, control, column, Msg{}}, builtIn, T::None, {}};
}

constexpr TranslationRow nothing(int line) {
    return {line, {}, {}, T::None, {}};
}

constexpr std::string_view kAnalyse = "Analyser en installation";
constexpr std::string_view kUninstallAnalysed = "Afinstaller et tidligere analyseret program";
constexpr std::string_view kCancelWizard = "Annuller";

constexpr auto kTable = std::to_array<TranslationRow>({
    message(0, Msg::msgDeleteEntryQuestion),
    message(1, Msg::msgUpdateAvailable),
    message(2, Msg::msgNoUpdate),
    message(3, Msg::msgUpdateCheckFailed),
    onMain(4, K::Caption, "FilterRyd", "Ryd"),
    heading(5, window::kMain, "ListView1", 0, "Program Navn"),
    onMain(6, K::Submenu, "Filer", "&Filer"),
    onMain(7, K::Submenu, "Filtrer", "F&iltrer"),
    onMain(8, K::Submenu, "Funktioner", "F&unktioner"),
    onMain(9, K::Submenu, "Indstillinger", "&Indstillinger"),
    onMain(10, K::Submenu, "Sprog", "&Sprog"),
    onMain(11, K::Submenu, "Hjaelp", "&Hjælp"),
    onMain(12, K::MenuItem, "Afslut", "&Afslut"),
    onMain(13, K::MenuItem, "kundoedelinks", "Vis kun 'døde links'"),
    onMain(14, K::MenuItem, "OpdaterListen", "&Opdater Listen"),
    onMain(15, K::MenuItem, "SoegEfterOpdateringer", "Søg Efter O&pdateringer"),
    onMain(16, K::MenuItem, "GridLines", "Vis Gitter Linier"),
    onMain(17, K::MenuItem, "Hjaelp_hjaelp", "Hjælp"),
    onMain(18, K::MenuItem, "Website", "Vornak Software"),
    nothing(19),
    onMain(20, K::MenuItem, "Om", "&Om"),
    onMain(21, K::MenuItem, "Uninstall", "Uninstall"),
    onMain(22, K::MenuItem, "Slet", "Slet"),
    nothing(23),
    onMain(24, K::MenuItem, "EksporterListe", "&Eksporter Liste"),
    onMain(25, K::DialogFilter, "SaveDialog1", "Text Filer (*.txt)|*.txt|Alle Filer (*.*)|*.*"),
    onMain(26, K::Caption, "btnUninstall", "Uninstall"),
    onMain(27, K::Caption, "btnDelete", "S&let"),
    onMain(28, K::Caption, "btnHelp", "Hjæl&p"),
    onMain(29, K::MenuItem, "kuncrap", "Vis kun \"crapware\""),
    onMain(30, K::MenuItem, "VisIkkeSkjulte", "Vis ikke skjulte 'links'"),
    onMain(31, K::MenuItem, "Skjul", "Skjul"),
    onMain(32, K::MenuItem, "RedigerSkjulFilter", "Rediger Skjul-Filteret"),
    text(33, K::WindowTitle, window::kHiddenFilterEditor, "", "Hidden Filter Editor"),
    text(34, K::Caption, window::kHiddenFilterEditor, "SletValgte",
         "Delete selected from the list and don't hide it anymore"),
    message(35, Msg::fmtStatusCount, "d"),
    onMain(36, K::Caption, "lblInfo", "Info"),
    onMain(37, K::Caption, "lblInfoBody",
           "Velkommen til Vornak Uninstaller! Du vil løbende få information ved at kigge i dette "
           "felt. God fornøjelse :o)",
           T::BreakLfCr),
    message(38, Msg::fmtUninstallStarted, "s"),
    message(39, Msg::fmtUninstallFinished, "s", T::BreakLfCr),
    message(40, Msg::fmtUninstallNotStarted, "s"),
    text(41, K::WindowTitle, window::kAbout, "", " About Vornak Uninstaller"),
    {42,
     {K::ScrollingText, window::kAbout, "BnVertScrollText1", 0, Msg{}},
     "Scrolling text goes here ....",
     T::BreakLf,
     {}},
    text(43, K::Caption, window::kAbout, "Button1", "&Close"),
    onMain(44, K::MenuItem, "ShowEditInfo", "Vis/Rediger Info"),
    text(45, K::WindowTitle, window::kInfoEditor, "", "View/Edit Info"),
    heading(46, window::kInfoEditor, "lsvStuff", 0, "Name"),
    heading(47, window::kInfoEditor, "lsvStuff", 1, "Value"),
    info(48, K::Caption, "btnSave", "Save"),
    info(49, K::Caption, "btnCancel", "Cancel"),
    info(50, K::MenuItem, "Change1", "&Change"),
    info(51, K::Caption, "btnOK", "OK"),
    info(52, K::Caption, "btnCancel2", "Cancel"),
    onMain(53, K::MenuItem, "Font", "Vælg Font (kun listen)"),
    onMain(54, K::Caption, "btnAnalyze", "&Analyser"),
    text(55, K::WindowTitle, window::kWizard, "", "Analyser Installation"),
    wizard(56, K::Caption, "Label1", "Velkommen!"),
    wizard(57, K::Caption, "Label2",
           "Denne guide vil få dig igennem en process hvor du enten kan analyserer en "
           "installation eller afinstallerer et tidligere analyseret program fuldstændigt."),
    wizard(58, K::Caption, "Label3", "Hvad ønsker du at gøre?"),
    wizard(59, K::Caption, "rbAnalyze", kAnalyse),
    wizard(60, K::Caption, "rbUninstall", kUninstallAnalysed),
    wizard(61, K::Caption, "btnCancel_01", kCancelWizard),
    wizard(62, K::Caption, "btnNext_01", "Næste >>"),
    wizard(59, K::Caption, "Label4", kAnalyse),
    wizard(61, K::Caption, "btnCancel_02", kCancelWizard),
    wizard(63, K::Caption, "Label5",
           "Før du starter med at installerer skal der tages 'et billede' af din computer. "
           "Vælg nedenfor hvilken/hvilke harddiske du vil analyserer. Normalt er C-drevet og "
           "det drev du installerer på (hvis det er et andet drev) nok."),
    heading(64, window::kWizard, "lsvDrives", 0, "Drive"),
    wizard(65, K::Caption, "btnGo1", "Før Installationen"),
    wizard(66, K::Caption, "btnGo2", "Efter Installationen"),
    wizard(67, K::Caption, "Label6", "Filer Fundet (ca.): "),
    wizard(68, K::Caption, "Label7", "Reg. Fundet (ca.): "),
    wizard(69, K::Caption, "Label10", "Tid taget (i sek.):"),
    wizard(70, K::Caption, "Label12", "Sammenligner... Vent Venligst!"),
    message(71, Msg::msgLogNameCaption),
    message(72, Msg::msgLogNamePrompt),
    message(73, Msg::msgLogNameTakenCaption),
    message(74, Msg::msgLogNameTakenPrompt),
    message(75, Msg::msgAnalysisDone),
    wizard(60, K::Caption, "Label13", kUninstallAnalysed),
    wizard(76, K::Caption, "Label14",
           "Vælg herunder hvilket af de tidligere analyserede programmer du ønsker at "
           "afinstallere."),
    wizard(77, K::Caption, "Label15", "Bekræft dernæst følgende:"),
    wizard(78, K::Caption, "CheckBox1", "Jeg forstår at jeg gør det dette på eget ansvar"),
    wizard(79, K::Caption, "CheckBox2",
           "Jeg forstår at de filer der bliver slettet ikke kan gendannes"),
    wizard(80, K::Caption, "CheckBox3",
           "Jeg vil ikke holde programmøren ansvarlig for evt. tab af data etc."),
    wizard(61, K::Caption, "btnCancel_03", kCancelWizard),
    wizard(81, K::Caption, "btnUninstall", "Afinstaller"),
    message(82, Msg::msgNoLogSelected),
    message(83, Msg::msgMustConfirm),
    wizard(84, K::Caption, "CheckBox4", "Jeg ønsker ikke at bekræfte hver sletning"),
    message(85, Msg::fmtDeleteFileQuestion, "s"),
    message(86, Msg::msgDeleteFileCaption),
    message(87, Msg::msgDeleteLogQuestion),
    message(88, Msg::msgDeleteLogCaption),
    message(89, Msg::msgFileDeletedPrefix),
    message(90, Msg::fmtFolderNotRemoved, "s"),
    message(91, Msg::fmtDeletedFilesCount, "d"),
    message(92, Msg::fmtKeyNotRemoved, "s"),
    message(93, Msg::msgEntrySkipped),
    message(94, Msg::msgRemovalDone),
    info(95, K::MenuItem, "AddNewItem1", "Add New Item"),
    info(96, K::MenuItem, "Remove1", "Remove (can't be reversed)"),
    info(97, K::Caption, "Label2", "New Value:"),
    info(98, K::Caption, "Label1", "Name of new item:"),
    info(99, K::Caption, "Label3", "Content of new item:"),
    message(100, Msg::msgRemoveValueQuestion, "", T::BreakLfCr),
    message(101, Msg::msgConfirmCaption),
});

}  // namespace

std::span<const TranslationRow> translationTable() {
    return kTable;
}

std::string_view builtInText(std::string_view windowName, std::string_view control, int column) {
    for (const TranslationRow& row : kTable) {
        const Target& t = row.target;
        if (t.kind == K::None || t.kind == K::Message) {
            continue;
        }
        if (t.window == windowName && t.control == control &&
            (t.kind != K::ColumnHeading || t.column == column)) {
            return row.builtIn;
        }
    }
    throw std::invalid_argument("no translated text for " + std::string(windowName) + "/" +
                                std::string(control));
}

std::string_view messageArguments(Msg role) {
    for (const TranslationRow& row : kTable) {
        if (row.target.kind == K::Message && row.target.message == role) {
            return row.arguments;
        }
    }
    for (const AddedLine& added : addedLines()) {
        if (added.role == role) {
            return added.arguments;
        }
    }
    throw std::invalid_argument("no message with line " + std::to_string(static_cast<int>(role)));
}

std::string transformLine(LineTransform transform, std::string_view line) {
    if (transform == T::None) {
        return std::string(line);
    }
    const std::string_view lineBreak = transform == T::BreakLfCr ? "\n\r" : "\n";
    std::string out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == 'n' || line[i + 1] == 'N')) {
            out += lineBreak;
            ++i;
        } else {
            out += line[i];
        }
    }
    return out;
}

}  // namespace vornak
