// The wizard's handlers and timers: the two snapshot runs, the log name, the
// comparison and its end, and the removal page's replay of a stored log.
#include "analysis/AnalyzeForm.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <utility>

#include "analysis/AnalysisFiles.h"
#include "analysis/CompareThread.h"
#include "analysis/LogReplay.h"
#include "analysis/SnapshotRecord.h"
#include "analysis/SnapshotRun.h"
#include "language/MessageCatalogue.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"
#include "registry/RegistryBackup.h"

namespace vornak::analysis {
namespace {

constexpr int kDonePerRun = 5;  // the file worker and the four registry workers

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

std::string joinedTexts(const std::vector<AnalysisShared::Problem>& problems, bool failed) {
    std::string text;
    for (const auto& problem : problems) {
        if (problem.failed != failed)
            continue;
        if (!text.empty())
            text += "\n";
        text += problem.text;
    }
    return text;
}

}  // namespace

TAnalyzeForm::~TAnalyzeForm() {
    // The workers own their inputs, but the program must not end under a
    // comparison that is still writing its log.
    joinSnapshotWorkers();
    for (Comparison& comparison : comparisons_)
        if (comparison.thread.joinable())
            comparison.thread.join();
}

void TAnalyzeForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Only opening the wizard starts it afresh. A window restored after being
    // minimised is shown again by the window system (a spontaneous event),
    // and must come back as it was: with its snapshot runs and their counts.
    if (event->spontaneous())
        return;
    // The window's own rectangle is centred, not its frame: the frame is not
    // known at the first opening and is at the next, which would move it.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));
    run(&TAnalyzeForm::FormActivate);
}

void TAnalyzeForm::FormActivate() {
    pages_->setCurrentIndex(0);
    drives_->clear();
    drives_->setEnabled(true);
    cancel2_->setEnabled(true);
    go1_->setEnabled(true);
    go2_->setEnabled(false);
    const auto fs = platform::defaultFileSystem();
    const std::vector<char> fixed = fs->fixedDrives();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (std::find(fixed.begin(), fixed.end(), letter) == fixed.end())
            continue;
        auto* item = new QTreeWidgetItem(drives_, {QString(QChar(letter)) + u':'});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, letter == 'C' ? Qt::Checked : Qt::Unchecked);
    }
    busy_ = false;
    shared_->completed.store(0);
    ++openings_;
    // Every level: the per-user data folder may not be there yet either.
    platform::makeFolders(*fs, logsFolder(platform::ownFilesFolder(*fs, "logs")));
}

void TAnalyzeForm::btnNext_01Click() {
    if (rbAnalyze_->isChecked()) {
        pages_->setCurrentIndex(1);
        return;
    }
    logs_->clear();
    const auto fs = platform::defaultFileSystem();
    for (const std::string& name : listAnalysisLogs(*fs, platform::ownFilesFolder(*fs, "logs"))) {
        auto* item = new QListWidgetItem(qt(name), logs_);
        // The name as the folder holds it, whatever Qt makes of its bytes.
        item->setData(Qt::UserRole, QByteArray::fromStdString(name));
    }
    pages_->setCurrentIndex(2);
}

bool TAnalyzeForm::comparisonStillRunning() {
    // Its snapshot files are not its own until it has ended: a new run would
    // write over them, and the comparison would delete the new ones.
    if (comparisons_.empty())
        return false;
    dialogs_.showMessage(messages().get(Msg::msgComparisonRunning));
    return true;
}

void TAnalyzeForm::btnGo1Click() {
    if (comparisonStillRunning())
        return;
    shared_->completed.store(0);
    cancel2_->setEnabled(false);
    go1_->setEnabled(false);
    drives_->setEnabled(false);
    busy_ = true;
    notes_.clear();  // a new analysis
    filesFound_->setText(QStringLiteral("0"));
    registryFound_->setText(QStringLiteral("0"));
    seconds_->setText(QStringLiteral("0"));
    timer1_->start();
    startWorkers(1);
}

void TAnalyzeForm::btnGo2Click() {
    if (comparisonStillRunning())
        return;
    // The second run must cover the ground the first one covered, or what
    // was there all along would be taken for the installation.
    const auto fs = platform::defaultFileSystem();
    const std::string why =
        secondRunRefusal(*fs, logsFolder(platform::ownFilesFolder(*fs, "logs")), tickedDrives(),
                         platform::defaultRegistryStore()->location());
    if (!why.empty()) {
        dialogs_.showError(why);
        return;
    }
    shared_->completed.store(0);
    busy_ = true;
    cancel2_->setEnabled(false);
    filesFound_->setText(QStringLiteral("0"));
    registryFound_->setText(QStringLiteral("0"));
    seconds_->setText(QStringLiteral("0"));
    timer1_->start();
    go2_->setEnabled(false);
    startWorkers(2);
}

std::vector<DriveItem> TAnalyzeForm::tickedDrives() const {
    std::vector<DriveItem> drives;
    for (int i = 0; i < drives_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = drives_->topLevelItem(i);
        drives.push_back({item->text(0).toStdString(), item->checkState(0) == Qt::Checked});
    }
    return drives;
}

void TAnalyzeForm::startWorkers(int32_t number) {
    std::vector<DriveItem> drives = tickedDrives();
    // The workers call this on their own threads; the count is shown on
    // the window's thread, and not at all once the wizard is gone.
    QPointer<TAnalyzeForm> wizard(this);
    auto onRegistryFinished = [wizard](int32_t count) {
        QMetaObject::invokeMethod(
            qApp,
            [wizard, count] {
                if (wizard)
                    wizard->showRegistryCount(count);
            },
            Qt::QueuedConnection);
    };
    const auto fs = platform::defaultFileSystem();
    auto workers =
        startSnapshotRun(shared_, number,
                         {fs, platform::defaultRegistryStore(), std::move(drives),
                          platform::ownFilesFolder(*fs, "logs"), std::move(onRegistryFinished)});
    for (auto& worker : workers)
        snapshotWorkers_.push_back(std::move(worker));
}

void TAnalyzeForm::joinSnapshotWorkers() {
    // Called once all five have counted themselves done: each is at most
    // handing on its count display, so this does not hold the window up.
    for (std::thread& worker : snapshotWorkers_)
        if (worker.joinable())
            worker.join();
    snapshotWorkers_.clear();
}

void TAnalyzeForm::showRegistryCount(int32_t count) {
    registryFound_->setText(QString::number(count));
}

void TAnalyzeForm::Timer1Timer() {
    if (shared_->completed.load() < kDonePerRun) {
        seconds_->setText(QString::number(seconds_->text().toInt() + 1));
        registryFound_->setText(QString::number(shared_->registryEntries.load()));
        filesFound_->setText(QString::number(shared_->foundFiles.load()));
        return;
    }
    busy_ = false;
    cancel2_->setEnabled(true);
    timer1_->stop();
    shared_->registryEntries.store(0);
    joinSnapshotWorkers();
    const int32_t number = shared_->snapshotNumber.load();
    // A snapshot that could not be taken whole is not compared: the user
    // takes that snapshot again (or closes the wizard).
    if (!takeRunProblems(*shared_)) {
        if (number == 1) {
            go1_->setEnabled(true);
            drives_->setEnabled(true);
        } else {
            go2_->setEnabled(true);
        }
        return;
    }
    if (number == 1) {
        go2_->setEnabled(true);
        return;
    }
    if (number != 2)
        return;
    const std::string name = *askLogName({}, false);
    cancel2_->setEnabled(false);
    timer2_->start();
    startComparison(name, std::exchange(notes_, {}));
}

std::optional<std::string> TAnalyzeForm::askLogName(std::string name, bool again) {
    const auto fs = platform::defaultFileSystem();
    const std::string programFolder = platform::ownFilesFolder(*fs, "logs");
    const auto taken = [&](const std::string& candidate) {
        const std::string path = analysisLogPath(programFolder, candidate);
        return fs->fileExists(path) || fs->directoryExists(path);
    };
    auto ask = [&](Msg caption, Msg prompt) {
        return dialogs_.inputBox(messages().get(caption), messages().get(prompt), name);
    };
    if (auto typed = ask(Msg::msgLogNameCaption, Msg::msgLogNamePrompt))
        name = *typed;
    else if (again)
        return std::nullopt;  // the analysis is left as it is, its snapshots kept
    // A name that cannot be a file of the logs folder is asked again, saying
    // what is wrong with it: it would land elsewhere or not be written at all.
    while (true) {
        if (const auto problem = logNameProblem(name)) {
            dialogs_.showMessage(messages().get(*problem));
            if (auto typed = ask(Msg::msgLogNameCaption, Msg::msgLogNamePrompt))
                name = *typed;
        } else if (taken(name)) {
            if (auto typed = ask(Msg::msgLogNameTakenCaption, Msg::msgLogNameTakenPrompt))
                name = *typed;
        } else {
            return name;
        }
    }
}

void TAnalyzeForm::startComparison(const std::string& logName,
                                   std::vector<AnalysisShared::Problem> notes) {
    Comparison comparison;
    comparison.shared = std::make_shared<AnalysisShared>();
    comparison.shared->completed.store(kDonePerRun);  // the run's five; the comparison makes 6
    comparison.shared->setLogName(logName);
    comparison.notes = std::move(notes);
    comparison.logName = logName;
    comparison.opening = openings_;
    shared_->setLogName(logName);
    const auto fs = platform::defaultFileSystem();
    comparison.thread =
        CompareThread::start(comparison.shared, {fs, platform::ownFilesFolder(*fs, "logs"), {}});
    comparisons_.push_back(std::move(comparison));
}

void TAnalyzeForm::Timer2Timer() {
    const auto done = std::find_if(comparisons_.begin(), comparisons_.end(), [](const auto& c) {
        return c.shared->completed.load() >= kDonePerRun + 1;
    });
    if (done == comparisons_.end()) {
        comparing_->setVisible(!comparing_->isVisible());
        return;
    }
    Comparison ended = std::move(*done);
    comparisons_.erase(done);
    if (comparisons_.empty()) {
        comparing_->setVisible(false);
        timer2_->stop();
    }
    if (ended.thread.joinable())
        ended.thread.join();  // it has counted itself done and is leaving
    // The end often comes while the user is in the installer: the wizard
    // comes to the front with the keys, so that its message has them too.
    if (isVisible()) {
        raise();
        activateWindow();
    }
    reportAnalysisEnd(ended);
    // Its end belongs to the wizard it was started in, not to one opened since.
    const bool stillShown = ended.opening == openings_ && isVisible();
    if (ended.shared->nameAgain.load()) {
        // The log could not be written under that name: nothing is lost, the
        // snapshots are still there to be compared under another one.
        if (const auto name = askLogName(ended.logName, true)) {
            comparing_->setVisible(true);
            timer2_->start();
            startComparison(*name, std::move(ended.notes));
            comparisons_.back().opening = ended.opening;
            return;
        }
        if (stillShown) {
            go2_->setEnabled(true);  // the after run can be taken again, and named then
            cancel2_->setEnabled(true);
        }
        return;
    }
    if (stillShown)
        close();
}

bool TAnalyzeForm::takeRunProblems(AnalysisShared& shared) {
    const auto problems = shared.takeProblems();
    for (const auto& problem : problems)
        if (!problem.failed)
            notes_.push_back(problem);
    const std::string failures = joinedTexts(problems, true);
    if (failures.empty())
        return true;
    dialogs_.showError(failures);
    return false;
}

void TAnalyzeForm::reportAnalysisEnd(Comparison& comparison) {
    const auto problems = comparison.shared->takeProblems();
    const std::string failures = joinedTexts(problems, true);
    // A log that was not written is no finished analysis.
    if (failures.empty())
        dialogs_.showMessage(messages().get(Msg::msgAnalysisDone));
    else
        dialogs_.showError(failures);
    if (comparison.shared->nameAgain.load()) {
        // Told when the analysis ends under its final name.
        for (const auto& problem : problems)
            if (!problem.failed)
                comparison.notes.push_back(problem);
        return;
    }
    // ---- What the snapshots and the comparison left out ----
    // Notes of both snapshot runs and of the comparison (names that cannot
    // stand in a line, parts that could not be read) are told here, once,
    // after the end message.
    std::vector<AnalysisShared::Problem> notes = std::move(comparison.notes);
    for (const auto& problem : problems)
        if (!problem.failed)
            notes.push_back(problem);
    if (const std::string text = joinedTexts(notes, false); !text.empty())
        dialogs_.showMessage(text);
    // ---- end of the notes ----
}

bool TAnalyzeForm::FormCloseQuery() const {
    return !busy_;
}

void TAnalyzeForm::done(int result) {
    if (!FormCloseQuery())
        return;
    QDialog::done(result);
}

void TAnalyzeForm::btnCancel_01Click() {
    close();
}

void TAnalyzeForm::btnUninstallClick() {
    std::optional<std::string> selected;
    const QList<QListWidgetItem*> items = logs_->selectedItems();
    if (!items.isEmpty())
        selected = items.first()->data(Qt::UserRole).toByteArray().toStdString();
    std::vector<RemovalConfirmation> confirmations;
    for (const QCheckBox* box : confirm_)
        confirmations.push_back({box->isChecked(), box->text().toStdString()});
    if (!removalMayStart(selected, confirmations, dialogs_))
        return;

    const auto fs = platform::defaultFileSystem();
    LogReplay replay(*fs, *platform::defaultRegistryStore(), dialogs_,
                     [this](const std::string& line) { memLog_->appendPlainText(qt(line)); });
    RemovalOptions options;
    options.confirmEachFile = !noQuestions_->isChecked();
    options.toTrash = registry::trashSettingOn();
    const RemovalResult result =
        replay.run(platform::ownFilesFolder(*fs, "logs"), *selected, options);
    // Only a log that is really gone leaves the list. No other log is then
    // selected: Qt would select the next one, and a second press would
    // remove a program the user never chose.
    if (result.logDeleted) {
        delete items.first();
        logs_->setCurrentRow(-1);
        logs_->clearSelection();
    }
}

}  // namespace vornak::analysis
