// The program-wide values the main block sets: the application title (caption
// of the main window and of every plain message box) and the help file name.
#pragma once

#include <string>

namespace vornak::app {

inline constexpr const char* kApplicationTitle = "Vornak Uninstaller 2.1 *BETA*";
inline constexpr const char* kHelpFileName = "Uninstaller.HLP";

const std::string& applicationTitle();
void setApplicationTitle(std::string title);
const std::string& helpFile();
void setHelpFile(std::string fileName);

}  // namespace vornak::app
