// TAnalyzeForm: the analysis wizard. It takes the snapshots before and after
// an installation, names and starts the comparison, and on its removal page
// replays a stored analysis log. It drives the workers only through the
// shared values and its two timers; while it is open it never waits on a
// running thread.
#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "analysis/AnalysisShared.h"
#include "analysis/FileDumpThread.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTimer;
class QTreeWidget;

namespace vornak::platform {
class Dialogs;
}

namespace vornak::analysis {

class TAnalyzeForm : public QDialog {
  public:
    // The file system and store are the program's defaults at each use, so a
    // test that points them elsewhere is followed.
    explicit TAnalyzeForm(platform::Dialogs& dialogs, QWidget* parent = nullptr);
    ~TAnalyzeForm() override;

    // ---- Handlers ----
    void FormActivate();
    void btnNext_01Click();
    void btnGo1Click();
    void btnGo2Click();
    void btnUninstallClick();
    void btnCancel_01Click();  // all three Cancel buttons
    void Timer1Timer();
    void Timer2Timer();
    bool FormCloseQuery() const;

    // Test hook: the two timers' intervals (1000 and 500 ms in the program).
    void setTimerIntervals(int timer1Ms, int timer2Ms);

    // The close box, Esc, the Cancel buttons and the end of the analysis all
    // end here; FormCloseQuery decides.
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    struct Comparison {
        std::shared_ptr<AnalysisShared> shared;
        std::thread thread;
        std::vector<AnalysisShared::Problem> notes;  // of the two snapshot runs before it
        std::string logName;
        int opening = 0;  // the opening of the wizard it was started in
    };

    void buildWelcomePage(QWidget* page);
    void buildAnalysisPage(QWidget* page);
    void buildRemovalPage(QWidget* page);
    void run(void (TAnalyzeForm::*handler)());

    void startWorkers(int32_t snapshotNumber);
    // The drive list as the workers take it: every drive, ticked or not.
    std::vector<DriveItem> tickedDrives() const;
    void joinSnapshotWorkers();
    // Asks for the log name, starting from `name`, until it is neither taken
    // nor unusable. `again`: after a log that could not be written; Cancel in
    // the first box then gives up (nullopt). Otherwise Cancel keeps the name.
    std::optional<std::string> askLogName(std::string name, bool again);
    void startComparison(const std::string& logName, std::vector<AnalysisShared::Problem> notes);
    // Says so when a comparison of this wizard still owns the snapshot files.
    bool comparisonStillRunning();
    void showRegistryCount(int32_t count);
    // The failures of the run just ended are shown at once; its notes are
    // kept for the end of the analysis. True when nothing failed.
    bool takeRunProblems(AnalysisShared& shared);
    void reportAnalysisEnd(Comparison& comparison);

    platform::Dialogs& dialogs_;
    std::shared_ptr<AnalysisShared> shared_ = std::make_shared<AnalysisShared>();
    bool busy_ = false;
    int openings_ = 0;  // how often the wizard has been opened
    std::vector<std::thread> snapshotWorkers_;
    // Each comparison counts into a shared object of its own, so reopening
    // the wizard (which sets the completion counter to 0) or a new snapshot
    // run cannot hide its end.
    std::vector<Comparison> comparisons_;
    std::vector<AnalysisShared::Problem> notes_;

    QStackedWidget* pages_ = nullptr;
    QRadioButton* rbAnalyze_ = nullptr;
    QRadioButton* rbUninstall_ = nullptr;
    QTreeWidget* drives_ = nullptr;
    QLabel* filesFound_ = nullptr;     // Label8
    QLabel* registryFound_ = nullptr;  // Label9
    QLabel* seconds_ = nullptr;        // Label11
    QLabel* comparing_ = nullptr;      // Label12
    QPushButton* cancel2_ = nullptr;
    QPushButton* go1_ = nullptr;
    QPushButton* go2_ = nullptr;
    QListWidget* logs_ = nullptr;
    QCheckBox* confirm_[3] = {};
    QCheckBox* noQuestions_ = nullptr;  // CheckBox4
    QPlainTextEdit* memLog_ = nullptr;
    QTimer* timer1_ = nullptr;
    QTimer* timer2_ = nullptr;
};

}  // namespace vornak::analysis
