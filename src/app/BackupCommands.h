// The way back from the program's changes, in the main window: "Restore a
// backup..." in the Filer menu, and in the Indstillinger menu whether a
// log-driven removal moves files to the wastebasket and how long backups are
// kept. Backups past that age are removed when the window is made.
#pragma once

#include <QObject>

class QAction;

namespace vornak::app {

class TForm1;

class BackupCommands : public QObject {
  public:
    explicit BackupCommands(TForm1& form);

    // Lists the backups newest first; the chosen one is restored after a
    // question, and the list is rebuilt.
    void RestoreBackupClick();
    // Turns the wastebasket setting over and remembers it.
    void TrashClick();
    // Asks for the number of days a backup is kept and remembers it.
    void BackupDaysClick();

  private:
    void retranslate();

    TForm1& form_;
    QAction* restore_ = nullptr;
    QAction* trash_ = nullptr;
    QAction* days_ = nullptr;
};

}  // namespace vornak::app
