#include "services/ListExport.h"

#include <stdexcept>

#include "language/MessageCatalogue.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"

namespace vornak::services {

std::string exportedListText(const EntryList& rows) {
    std::string text;
    for (const UninstallEntry& row : rows) {
        text += row.caption;
        text += "\r\n";
    }
    return text;
}

void exportList(const EntryList& rows, const std::string& filter, platform::Dialogs& dialogs,
                const platform::FileSystem& fs) {
    // Taken before the dialog: the list may be rebuilt while it is open.
    const std::string text = exportedListText(rows);
    const std::optional<std::string> path = dialogs.saveFileName({filter, "txt", true});
    if (!path)
        return;
    std::string why;
    if (!fs.writeFile(*path, text, &why))
        throw std::runtime_error(why.empty() ? messageText(Msg::fmtCannotCreateFile, {*path})
                                             : messageText(Msg::fmtCannotWrite, {*path, why}));
}

}  // namespace vornak::services
