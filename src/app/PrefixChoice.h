// The window's choice of what it manages: the machine's own registry and
// drives, or a Wine prefix found where `vornak prefixes` looks. The choice is
// kept in the settings; each prefix has its own hidden list and logs.
#pragma once

#include <QObject>
#include <string>

class QMenu;

namespace vornak::app {

class TForm1;

class PrefixChoice : public QObject {
  public:
    // Adds the submenu (objectName "WinePrefix") to the Indstillinger menu.
    // Once the window has started, it offers the one prefix found when the
    // machine's store holds no registration and no choice was made before.
    explicit PrefixChoice(TForm1& form);

    // Switches to the prefix in `dir` (empty: the machine's own): the hidden
    // list of the one left is saved, the store, drives and launcher change,
    // the choice is remembered and the list rebuilt. Says so when Wine runs
    // in the prefix, as the list may then be behind it, or when a registry
    // file of it cannot be read.
    void choose(const std::string& dir);

    // The submenu's items: the machine, then every prefix found (and the one
    // in use, should it not be found), the one in use checked.
    void fillMenu();

    // The offer at the start: a question whose answer is remembered as the
    // choice (the prefix, or the machine's own store).
    void offerTheOnePrefix();

  private:
    TForm1& form_;
    QMenu* menu_ = nullptr;
};

// Before the main window is built: the prefix the settings remember becomes
// the one in use, unless $VORNAK_WINEPREFIX chose one or it is no prefix now.
void restoreWinePrefix();

}  // namespace vornak::app
