// The analysis wizard as a user drives it: real snapshots of a drive C and a
// store in a temporary folder, an installation made between them, the log
// named through scripted input boxes, then that log replayed on the removal page.
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "analysis/AnalyzeForm.h"
#include "analysis/RegDumpThread.h"
#include "analysis/TextLines.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "language/MessageCatalogue.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using vornak::analysis::TAnalyzeForm;
using vornak::app::TForm1;
using vornak::platform::RegRoot;
using vornak::test::ScriptedDialogs;
using Kind = ScriptedDialogs::Kind;

class AnalyzeFormTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::ProgramFixture> fx;
    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;
    TAnalyzeForm* wizard = nullptr;
    std::vector<std::string> english;

    template <class T = QWidget>
    T* w(const char* name) {
        auto* found = wizard->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QString line(int n) const { return QString::fromStdString(english.at(n)); }
    std::string logsHost() const { return fx->programHost + "/logs"; }
    void click(const char* name) { w<QPushButton>(name)->click(); }

    void open() {
        wizard->show();
        QCOMPARE(w<QStackedWidget>("PageControl1")->currentIndex(), 0);
    }
    void openRemovalPage() {
        open();
        w<QRadioButton>("rbUninstall")->setChecked(true);
        click("btnNext_01");
        QCOMPARE(w<QStackedWidget>("PageControl1")->currentIndex(), 2);
    }
    void tickConfirmations() {
        for (const char* box : {"CheckBox1", "CheckBox2", "CheckBox3"})
            w<QCheckBox>(box)->setChecked(true);
    }
    QStringList logNames() {
        QStringList names;
        auto* box = w<QListWidget>("ListBox1");
        for (int i = 0; i < box->count(); ++i)
            names << box->item(i)->text();
        names.sort();
        return names;
    }
    void selectLog(const QString& name) {
        auto* box = w<QListWidget>("ListBox1");
        const auto found = box->findItems(name, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        box->setCurrentItem(found.first());
    }
    // From the welcome page through the first snapshot run.
    void takeBeforeSnapshot() {
        open();
        click("btnNext_01");
        click("btnGo1");
        QTRY_VERIFY_WITH_TIMEOUT(w<QPushButton>("btnGo2")->isEnabled(), 60000);
    }

    void setString(RegRoot root, const std::string& path, const std::string& name,
                   const std::string& text) {
        auto acc = fx->store->accessor();
        std::unique_ptr<platform::RegKey> key;
        QCOMPARE(acc->createKey(root, path, platform::RegAccess::Full, key),
                 platform::RegStatus::Ok);
        QCOMPARE(acc->setValue(*key, name, platform::kRegSz, text + '\0'), platform::RegStatus::Ok);
    }
    void deleteValue(RegRoot root, const std::string& path, const std::string& name) {
        auto acc = fx->store->accessor();
        std::unique_ptr<platform::RegKey> key;
        QCOMPARE(acc->openKey(root, path, platform::RegAccess::Full, key), platform::RegStatus::Ok);
        QCOMPARE(acc->deleteValue(*key, name), platform::RegStatus::Ok);
    }
    void writeFile(const std::string& relative, const std::string& bytes = "x") {
        const std::filesystem::path path = std::filesystem::path(fx->driveC) / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    // Every line of the four roots, sorted: a value written back lands at
    // the end of its key, so only the order may differ.
    std::vector<std::string> registryLines() {
        auto acc = fx->store->accessor();
        std::atomic<int32_t> count{0};
        std::vector<std::string> lines;
        for (int root = 0; root < 4; ++root) {
            const std::string text = analysis::registrySnapshotText(*acc, root, count);
            for (auto l : analysis::splitLines(text))
                lines.emplace_back(l);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    std::vector<std::string> filesOnC() {
        std::vector<std::string> paths;
        for (const auto& e : std::filesystem::recursive_directory_iterator(fx->driveC))
            if (e.path().string().rfind(logsHost(), 0) != 0)
                paths.push_back(e.path().string());
        std::sort(paths.begin(), paths.end());
        return paths;
    }
    std::string readLog(const std::string& name) {
        std::ifstream in(logsHost() + "/" + name + ".anlog", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private slots:
    void init() {
        fx = std::make_unique<test::ProgramFixture>();
        dialogs = ScriptedDialogs();
        messages().clear();
        english = fx->shippedLines("English");
        form = std::make_unique<TForm1>(dialogs);
        app::createProgramWindows(*form);
        test::startUp(*form);
        wizard = dynamic_cast<TAnalyzeForm*>(form->findChild<QDialog*>("AnalyzeForm"));
        QVERIFY(wizard);
        wizard->setTimerIntervals(20, 20);
    }
    void cleanup() {
        form.reset();
        fx.reset();
    }

    void windowAsDesignedAndOpenedByTheButton() {
        QVERIFY(wizard->isWindow());
        QCOMPARE(wizard->size(), QSize(504, 368));
        QVERIFY(wizard->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!(wizard->windowFlags() &
                  (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(wizard->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(w<QStackedWidget>("PageControl1")->count(), 3);
        // The language reaches every page; the column heading too.
        QCOMPARE(wizard->windowTitle(), line(55));
        QCOMPARE(w<QLabel>("Label2")->text(), line(57));
        QCOMPARE(w<QLabel>("Label4")->text(), line(59));
        QCOMPARE(w<QTreeWidget>("lsvDrives")->headerItem()->text(0), line(64));
        QCOMPARE(w<QPushButton>("btnCancel_03")->text(), line(61));
        QCOMPARE(w<QCheckBox>("CheckBox4")->text(), line(84));
        QVERIFY(w<QRadioButton>("rbAnalyze")->isChecked());
        QVERIFY(!w<QPushButton>("btnGo2")->isEnabled());
        QVERIFY(w<QLabel>("Label12")->isHidden());
        QVERIFY(w<QPlainTextEdit>("memLog")->isReadOnly());
        for (const char* value : {"Label8", "Label9", "Label11"})
            QCOMPARE(w<QLabel>(value)->text(), QStringLiteral("0"));

        // Without a language file the texts are the built-in Danish ones.
        TAnalyzeForm bare(dialogs);
        QCOMPARE(bare.windowTitle(), QStringLiteral("Analyser Installation"));
        QCOMPARE(bare.findChild<QPushButton*>("btnNext_01")->text(), QString("Næste >>"));

        // A second fixed drive is offered unticked; C is ticked.
        std::filesystem::create_directories(fx->tmp.str() + "/drive d");
        platform::setDefaultFileSystem(platform::makeFileSystem(
            {{'C', fx->driveC}, {'D', fx->tmp.str() + "/drive d"}}, fx->programHost));
        bool ran = false;
        QTimer::singleShot(0, wizard, [&] {
            ran = QApplication::activeModalWidget() == wizard;
            auto* drives = w<QTreeWidget>("lsvDrives");
            QCOMPARE(drives->topLevelItemCount(), 2);
            QCOMPARE(drives->topLevelItem(0)->text(0), QStringLiteral("C:"));
            QCOMPARE(drives->topLevelItem(0)->checkState(0), Qt::Checked);
            QCOMPARE(drives->topLevelItem(1)->text(0), QStringLiteral("D:"));
            QCOMPARE(drives->topLevelItem(1)->checkState(0), Qt::Unchecked);
            QVERIFY(std::filesystem::is_directory(logsHost()));
            click("btnCancel_01");
        });
        form->findChild<QToolButton*>("btnAnalyze")->click();
        QVERIFY(ran);
        QVERIFY(!wizard->isVisible());
    }

    void analysisThenRemovalLeavesDriveAndStoreAsTheyWere() {
        setString(RegRoot::CurrentUser, "SOFTWARE\\Shared", "Mode", "a");
        setString(RegRoot::CurrentUser, "SOFTWARE\\Shared", "Old", "x");
        writeFile("Windows/keep.dll");
        std::filesystem::create_directories(logsHost());
        std::ofstream(logsHost() + "/Taken.anlog") << "";
        const auto filesBefore = filesOnC();
        const auto registryBefore = registryLines();

        wizard->setTimerIntervals(1, 20);
        open();
        click("btnNext_01");
        auto* drives = w<QTreeWidget>("lsvDrives");
        QCOMPARE(drives->topLevelItemCount(), 1);  // the only fixed drive
        QCOMPARE(drives->topLevelItem(0)->text(0), QStringLiteral("C:"));
        QSignalSpy ticks(w<QTimer>("Timer1"), &QTimer::timeout);
        click("btnGo1");
        QVERIFY(!drives->isEnabled() && !w<QPushButton>("btnGo1")->isEnabled());
        wizard->close();  // refused while the workers run
        QVERIFY(wizard->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(w<QPushButton>("btnGo2")->isEnabled(), 60000);
        QVERIFY(w<QPushButton>("btnCancel_02")->isEnabled());
        // One second per tick while the run went on; not the tick that saw it end.
        QCOMPARE(w<QLabel>("Label11")->text().toInt(), ticks.count() - 1);
        // The registry workers' own final count reaches the window.
        QTRY_VERIFY(w<QLabel>("Label9")->text().toInt() > 0);

        // The installation.
        writeFile("Program Files/Acme/acme.exe");
        writeFile("Program Files/Acme/doc/readme.txt");
        setString(RegRoot::LocalMachine, "SOFTWARE\\Acme", "Path", "C:\\Program Files\\Acme");
        setString(RegRoot::CurrentUser, "SOFTWARE\\Shared", "Mode", "b");
        deleteValue(RegRoot::CurrentUser, "SOFTWARE\\Shared", "Old");

        // Names that are no file of the logs folder are asked again like a taken one.
        dialogs.inputAnswers = {"..\\Evil", "C:Evil", "a|b", "..", "NUL", "Taken", "Acme"};
        click("btnGo2");
        QTRY_VERIFY_WITH_TIMEOUT(!wizard->isVisible(), 60000);
        QCOMPARE(dialogs.count(Kind::Input), size_t(7));
        QCOMPARE(QString::fromStdString(dialogs.calls.front().title), line(71));
        QCOMPARE(QString::fromStdString(dialogs.calls.front().text), line(72));
        for (size_t i = 1; i < 7; ++i) {
            QCOMPARE(QString::fromStdString(dialogs.calls[i].title), line(73));
            QCOMPARE(QString::fromStdString(dialogs.calls[i].text), line(74));
        }
        QCOMPARE(dialogs.texts(Kind::Message), std::vector<std::string>{english.at(75)});
        QVERIFY(!std::filesystem::exists(fx->tmp.path() / "drive c/Program Files/Evil.anlog"));
        QVERIFY(!std::filesystem::exists(fx->tmp.path() / "drive c/Evil.anlog"));
        const std::string log = readLog("Acme");
        QVERIFY(log.find("FILE ADDED!\tC:\\Program Files\\Acme\\doc\\readme.txt\r\n") !=
                std::string::npos);
        QVERIFY(log.find("REG DELETED!\tHKCU\tSOFTWARE\\Shared\tOld\t\"x\"\r\n") !=
                std::string::npos);
        QVERIFY(!std::filesystem::exists(logsHost() + "/files_1.txt"));

        // The removal page, its checks in order, then the replay.
        dialogs.calls.clear();
        openRemovalPage();
        QVERIFY(w<QPushButton>("btnGo1")->isEnabled());
        QVERIFY(!w<QPushButton>("btnGo2")->isEnabled());
        QCOMPARE(logNames(), QStringList({"Acme", "Taken"}));
        std::vector<std::string> expected{english.at(82)};
        click("btnUninstall");
        selectLog("Acme");
        for (const char* box : {"CheckBox1", "CheckBox2", "CheckBox3"}) {
            click("btnUninstall");
            expected.push_back(english.at(83) + w<QCheckBox>(box)->text().toStdString());
            w<QCheckBox>(box)->setChecked(true);
        }
        QCOMPARE(dialogs.texts(Kind::Message), expected);
        w<QCheckBox>("CheckBox4")->setChecked(true);
        dialogs.yesNoAnswers = {true};
        click("btnUninstall");
        QCOMPARE(dialogs.texts(Kind::YesNo), std::vector<std::string>{english.at(87)});
        QVERIFY(w<QPlainTextEdit>("memLog")->toPlainText().endsWith(line(94)));
        QCOMPARE(logNames(), QStringList({"Taken"}));
        QVERIFY(w<QListWidget>("ListBox1")->selectedItems().isEmpty());
        QVERIFY(!std::filesystem::exists(logsHost() + "/Acme.anlog"));
        QCOMPARE(filesOnC(), filesBefore);
        QCOMPARE(registryLines(), registryBefore);
        QCOMPARE(dialogs.count(Kind::Error), size_t(0));
    }

    void cancelledNameAndCloseDuringTheComparison() {
        wizard->setTimerIntervals(20, 300);
        takeBeforeSnapshot();
        click("btnGo2");  // the name box is cancelled: the empty name
        QTRY_VERIFY_WITH_TIMEOUT(w<QTimer>("Timer2")->isActive(), 60000);
        QVERIFY(!w<QPushButton>("btnCancel_02")->isEnabled());
        wizard->close();  // granted while comparing
        QVERIFY(!wizard->isVisible());
        open();  // opening again sets the completion counter to 0; the end still comes
        QTRY_COMPARE(dialogs.texts(Kind::Message), std::vector<std::string>{english.at(75)});
        QVERIFY(!wizard->isVisible());
        QVERIFY(std::filesystem::exists(logsHost() + "/.anlog"));
        openRemovalPage();
        QCOMPARE(logNames(), QStringList({""}));
    }

    void cancelWhileWaitingKeepsTheSnapshotsAndReopensFresh() {
        takeBeforeSnapshot();
        click("btnCancel_02");
        QVERIFY(!wizard->isVisible());
        QVERIFY(std::filesystem::exists(logsHost() + "/files_1.txt"));
        QVERIFY(std::filesystem::exists(logsHost() + "/HKLM_1.txt"));
        open();
        QVERIFY(w<QPushButton>("btnGo1")->isEnabled());
        QVERIFY(w<QTreeWidget>("lsvDrives")->isEnabled());
        QVERIFY(!w<QPushButton>("btnGo2")->isEnabled());
        QCOMPARE(w<QTreeWidget>("lsvDrives")->topLevelItemCount(), 1);
    }

    void removalAsksPerFileUnlessTickedAndKeepsItsLog() {
        writeFile("Tool/a.txt");
        writeFile("Tool/b.txt");
        std::filesystem::create_directories(logsHost());
        std::ofstream(logsHost() + "/Tool.anlog", std::ios::binary)
            << "FILE ADDED!\tC:\\Tool\t<- dir\r\n"
               "FILE ADDED!\tC:\\Tool\\a.txt\r\n"
               "FILE ADDED!\tC:\\Tool\\b.txt\r\n";
        openRemovalPage();
        selectLog("Tool");
        tickConfirmations();
        dialogs.yesNoAnswers = {true, false, false};  // b.txt yes, a.txt no, keep the log
        click("btnUninstall");
        QCOMPARE(dialogs.texts(Kind::YesNo),
                 (std::vector<std::string>{formatMessage(english.at(85), {"C:\\Tool\\b.txt"}),
                                           formatMessage(english.at(85), {"C:\\Tool\\a.txt"}),
                                           english.at(87)}));
        QCOMPARE(dialogs.calls.front().title, english.at(86));
        QVERIFY(std::filesystem::exists(fx->driveC + "/Tool/a.txt"));
        QVERIFY(!std::filesystem::exists(fx->driveC + "/Tool/b.txt"));
        const QString first = w<QPlainTextEdit>("memLog")->toPlainText();
        QCOMPARE(first.split('\n'),
                 QStringList({line(89) + "C:\\Tool\\b.txt",
                              QString::fromStdString(formatMessage(english.at(90), {"C:\\Tool"})),
                              line(94)}));
        QCOMPARE(logNames(), QStringList({"Tool"}));

        // Again, without questions: the removal log grows, the list loses the log.
        dialogs.calls.clear();
        w<QCheckBox>("CheckBox4")->setChecked(true);
        dialogs.yesNoAnswers = {true};
        click("btnUninstall");
        QCOMPARE(dialogs.count(Kind::YesNo), size_t(1));
        QVERIFY(!std::filesystem::exists(fx->driveC + "/Tool"));
        QVERIFY(w<QPlainTextEdit>("memLog")->toPlainText().startsWith(first + "\n"));
        QCOMPARE(logNames(), QStringList());
    }

    void aSnapshotThatCannotBeWrittenIsTakenAgain() {
        // A folder where a snapshot file belongs: the file worker cannot write it.
        std::filesystem::create_directories(logsHost() + "/files_1.txt");
        open();
        click("btnNext_01");
        click("btnGo1");
        QTRY_VERIFY_WITH_TIMEOUT(w<QPushButton>("btnGo1")->isEnabled(), 60000);
        QVERIFY(!w<QPushButton>("btnGo2")->isEnabled());
        QCOMPARE(dialogs.count(Kind::Error), size_t(1));
        QVERIFY(dialogs.calls.back().text.find("files_1.txt") != std::string::npos);

        std::filesystem::remove(logsHost() + "/files_1.txt");
        std::filesystem::create_directories(logsHost() + "/files_2.txt");
        click("btnGo1");
        QTRY_VERIFY_WITH_TIMEOUT(w<QPushButton>("btnGo2")->isEnabled(), 60000);
        click("btnGo2");
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.count(Kind::Error), size_t(2), 60000);
        // Nothing is compared: no name is asked, the after snapshot can be taken again.
        QTRY_VERIFY(w<QPushButton>("btnGo2")->isEnabled());
        QCOMPARE(dialogs.count(Kind::Input), size_t(0));
        QVERIFY(!w<QTimer>("Timer2")->isActive());
    }

    void anAfterRunOverOtherDrivesIsRefusedBeforeItStarts() {
        takeBeforeSnapshot();
        auto* drives = w<QTreeWidget>("lsvDrives");
        drives->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        click("btnGo2");
        QCOMPARE(dialogs.count(Kind::Error), size_t(1));
        QVERIFY(w<QPushButton>("btnGo2")->isEnabled());
        QVERIFY(!w<QTimer>("Timer1")->isActive());
    }

    void countsOfAWizardThatIsGoneAreDropped() {
        auto lone = std::make_unique<TAnalyzeForm>(dialogs);
        lone->show();
        lone->findChild<QPushButton*>("btnNext_01")->click();
        lone->findChild<QPushButton*>("btnGo1")->click();
        lone.reset();  // waits for its workers; their count updates are still queued
        QTest::qWait(50);
    }

    // A program folder that cannot be written sends the logs to the per-user
    // data folder, which need not be there yet, nor the folder above it.
    void theLogsFolderIsMadeWithEveryLevelAboveIt() {
        QVERIFY(!std::filesystem::exists(std::filesystem::path(fx->userDataHost).parent_path()));
        QCOMPARE(::chmod(fx->programHost.c_str(), 0555), 0);
        open();
        const bool made = std::filesystem::is_directory(fx->userDataHost + "/logs");
        click("btnNext_01");
        click("btnGo1");
        const bool done = QTest::qWaitFor(
            [&] { return w<QPushButton>("btnGo2")->isEnabled() || dialogs.count(Kind::Error); },
            60000);
        QCOMPARE(::chmod(fx->programHost.c_str(), 0755), 0);
        QVERIFY(made);
        QVERIFY(done);
        const auto errors = dialogs.texts(Kind::Error);
        QVERIFY2(errors.empty(), errors.empty() ? "" : errors.front().c_str());
        QVERIFY(std::filesystem::is_regular_file(fx->userDataHost + "/logs/files_1.txt"));
        QVERIFY(!std::filesystem::exists(logsHost()));
    }
};

VORNAK_QTEST_MAIN(AnalyzeFormTest)
#include "AnalyzeFormTest.moc"
