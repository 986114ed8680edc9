// The program's help: context 1 of the help file, the topic that lists every
// window and command. Off Windows an HTML page stands in for the WinHelp file.
#pragma once

#include <string>

namespace vornak::platform {
class Dialogs;
class Shell;
}  // namespace vornak::platform

namespace vornak::services {

inline constexpr int kHelpContents = 1;

// Hjaelp_hjaelpClick and btnHelpClick: context 1 of `helpFile`. When nothing
// on this desktop can show it, a message names the page to open by hand.
void showHelp(platform::Shell* shell, platform::Dialogs& dialogs, const std::string& helpFile);

// The HTML page that stands in for `helpFile`: its extension replaced by
// ".html", beside the program (`programHostFolder`) when it names no folder.
std::string helpPagePath(const std::string& helpFile, const std::string& programHostFolder);
// The page's anchor of a help context; the contents (context 1) is the page's top.
std::string helpPageAnchor(int context);

}  // namespace vornak::services
