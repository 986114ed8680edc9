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
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

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

namespace {

// The program's file system, with the writing of analysis logs held back
// until the test lets it go (a comparison that is still running), or failing
// as on a full disk.
class LogWrites : public platform::FileSystem {
  public:
    explicit LogWrites(std::shared_ptr<platform::FileSystem> inner) : inner_(std::move(inner)) {}
    ~LogWrites() override { release(); }

    mutable std::atomic<bool> holding{false};
    mutable std::atomic<int> failing{0};  // so many log writes fail
    void hold() {
        std::lock_guard lock(mutex_);
        released_ = false;
    }
    void release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

    bool writeFile(const std::string& p, const std::string& bytes,
                   std::string* error) const override {
        if (p.ends_with(".anlog")) {
            std::unique_lock lock(mutex_);
            holding.store(true);
            changed_.wait(lock, [&] { return released_; });
            if (failing.fetch_sub(1) > 0) {
                if (error)
                    *error = "No space left on device";
                return false;
            }
        }
        return inner_->writeFile(p, bytes, error);
    }
    bool findFiles(const std::string& pattern, uint32_t wanted,
                   const std::function<void(const platform::DirEntry&)>& onEntry) const override {
        return inner_->findFiles(pattern, wanted, onEntry);
    }
    bool fileExists(const std::string& p) const override { return inner_->fileExists(p); }
    bool directoryExists(const std::string& p) const override { return inner_->directoryExists(p); }
    bool createDirectory(const std::string& p) const override { return inner_->createDirectory(p); }
    bool removeDirectory(const std::string& p) const override { return inner_->removeDirectory(p); }
    bool deleteFile(const std::string& p) const override { return inner_->deleteFile(p); }
    std::optional<std::string> readFile(const std::string& p, const platform::ReadLimit& limit,
                                        std::string* error) const override {
        return inner_->readFile(p, limit, error);
    }
    bool writeFileThrough(const std::string& p, const std::string& bytes,
                          std::string* error) const override {
        return inner_->writeFileThrough(p, bytes, error);
    }
    bool canWriteDirectory(const std::string& p) const override {
        return inner_->canWriteDirectory(p);
    }
    std::vector<char> fixedDrives() const override { return inner_->fixedDrives(); }
    std::string programFolder() const override { return inner_->programFolder(); }
    std::string userDataFolder() const override { return inner_->userDataFolder(); }
    std::string toHostPath(const std::string& p) const override { return inner_->toHostPath(p); }
    std::string fromHostPath(const std::string& h) const override {
        return inner_->fromHostPath(h);
    }

  private:
    std::shared_ptr<platform::FileSystem> inner_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool released_ = true;
};

}  // namespace

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
        // The program's own files (the logs, and the backups beside them) aside.
        const std::string backups =
            std::filesystem::path(fx->programHost + "/backups").lexically_normal().string();
        for (const auto& e : std::filesystem::recursive_directory_iterator(fx->driveC))
            if (e.path().string().rfind(logsHost(), 0) != 0 &&
                e.path().lexically_normal().string().rfind(backups, 0) != 0)
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

        // Names that are no file of the logs folder are asked again, saying
        // what is wrong with them; a taken one as taken. Nothing is compared
        // before the name is one the file system takes.
        const auto said = [&](Msg role) { return english.at(static_cast<size_t>(role)); };
        dialogs.inputAnswers = {"..\\Evil", "C:Evil", "a|b", "..", "NUL", std::string(300, 'n'),
                                "Taken",    "Acme"};
        click("btnGo2");
        QTRY_VERIFY_WITH_TIMEOUT(!wizard->isVisible(), 60000);
        QCOMPARE(dialogs.count(Kind::Input), size_t(8));
        for (size_t i = 0, input = 0; i < dialogs.calls.size(); ++i) {
            if (dialogs.calls[i].kind != Kind::Input)
                continue;
            const bool taken = ++input == 8;
            QCOMPARE(QString::fromStdString(dialogs.calls[i].title), line(taken ? 73 : 71));
            QCOMPARE(QString::fromStdString(dialogs.calls[i].text), line(taken ? 74 : 72));
        }
        QCOMPARE(dialogs.texts(Kind::Message),
                 (std::vector<std::string>{
                     said(Msg::msgLogNameBadCharacter), said(Msg::msgLogNameBadCharacter),
                     said(Msg::msgLogNameBadCharacter), said(Msg::msgLogNameTwoDots),
                     said(Msg::msgLogNameDevice), said(Msg::msgLogNameTooLong), english.at(75)}));
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
        // It ends the analysis it belongs to, not the wizard opened since.
        QVERIFY(wizard->isVisible());
        wizard->close();
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
        // In Danish, what the workers report is Danish too.
        form->ChangeLang("Danish");
        const std::string cannotWrite = messages().get(Msg::fmtCannotWrite);
        const std::string middle = cannotWrite.substr(2, cannotWrite.rfind("%s") - 2);
        QVERIFY2(middle.find("skrives") != std::string::npos, middle.c_str());
        // A folder where a snapshot file belongs: the file worker cannot write it.
        std::filesystem::create_directories(logsHost() + "/files_1.txt");
        open();
        click("btnNext_01");
        click("btnGo1");
        QTRY_VERIFY_WITH_TIMEOUT(w<QPushButton>("btnGo1")->isEnabled(), 60000);
        QVERIFY(!w<QPushButton>("btnGo2")->isEnabled());
        QCOMPARE(dialogs.count(Kind::Error), size_t(1));
        QVERIFY(dialogs.calls.back().text.find("files_1.txt") != std::string::npos);
        QVERIFY2(dialogs.calls.back().text.find(middle) != std::string::npos,
                 dialogs.calls.back().text.c_str());

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
        form->ChangeLang("Danish");
        takeBeforeSnapshot();
        auto* drives = w<QTreeWidget>("lsvDrives");
        drives->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        click("btnGo2");
        QCOMPARE(dialogs.count(Kind::Error), size_t(1));
        // Said in the language of the window, from the language file.
        const std::string otherDrives = messages().get(Msg::fmtOtherDrives);
        const std::string head = otherDrives.substr(0, otherDrives.find("%s"));
        QVERIFY2(dialogs.calls.back().text.rfind(head, 0) == 0, dialogs.calls.back().text.c_str());
        QVERIFY(head.find("installationen") != std::string::npos);
        QVERIFY(w<QPushButton>("btnGo2")->isEnabled());
        QVERIFY(!w<QTimer>("Timer1")->isActive());
    }

    // A comparison still running owns the snapshot files: a new run waits
    // for it, and its end does not close the wizard opened since.
    void aNewRunWaitsForTheComparisonStillRunning() {
        auto held = std::make_shared<LogWrites>(platform::defaultFileSystem());
        held->hold();
        // Let go on every way out, or the comparison would wait for ever.
        struct Release {
            LogWrites& writes;
            ~Release() { writes.release(); }
        } release{*held};
        platform::setDefaultFileSystem(held);
        takeBeforeSnapshot();
        dialogs.inputAnswers = {"First"};
        click("btnGo2");
        QTRY_VERIFY_WITH_TIMEOUT(held->holding.load(), 60000);
        wizard->close();
        open();
        click("btnNext_01");
        click("btnGo1");
        QCOMPARE(
            dialogs.texts(Kind::Message),
            std::vector<std::string>{english.at(static_cast<size_t>(Msg::msgComparisonRunning))});
        QVERIFY(!w<QTimer>("Timer1")->isActive());
        QVERIFY(w<QPushButton>("btnGo1")->isEnabled());

        held->release();
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.texts(Kind::Message).back(), english.at(75), 60000);
        QVERIFY(wizard->isVisible());
        QVERIFY(std::filesystem::exists(logsHost() + "/First.anlog"));
        click("btnGo1");
        QTRY_VERIFY_WITH_TIMEOUT(w<QPushButton>("btnGo2")->isEnabled(), 60000);
        QVERIFY(std::filesystem::exists(logsHost() + "/files_1.txt"));
        QVERIFY(std::filesystem::exists(logsHost() + "/HKCC_1.txt"));
        QCOMPARE(dialogs.count(Kind::Error), size_t(0));
    }

    // A log that cannot be written loses nothing: both snapshots stay, and
    // the log is named again.
    void aLogThatCannotBeWrittenIsNamedAgain() {
        auto full = std::make_shared<LogWrites>(platform::defaultFileSystem());
        full->failing = 1;
        platform::setDefaultFileSystem(full);
        takeBeforeSnapshot();
        writeFile("Acme/acme.exe");
        dialogs.inputAnswers = {"Acme", "Acme 2"};
        click("btnGo2");
        QTRY_VERIFY_WITH_TIMEOUT(!wizard->isVisible(), 60000);
        QCOMPARE(dialogs.count(Kind::Input), size_t(2));
        QCOMPARE(dialogs.calls.back().kind, Kind::Message);
        QCOMPARE(dialogs.texts(Kind::Message).back(), english.at(75));
        const auto errors = dialogs.texts(Kind::Error);
        QCOMPARE(errors.size(), size_t(1));
        QVERIFY(errors.front().find("Acme.anlog") != std::string::npos);
        QVERIFY(errors.front().find("No space left on device") != std::string::npos);
        QVERIFY(!std::filesystem::exists(logsHost() + "/Acme.anlog"));
        QVERIFY(readLog("Acme 2").find("FILE ADDED!\tC:\\Acme\\acme.exe\r\n") != std::string::npos);
        QVERIFY(!std::filesystem::exists(logsHost() + "/files_1.txt"));
    }

    // A snapshot cut short or changed is refused, named, and kept: by After
    // for the one from before, by the comparison for both.
    void aDamagedSnapshotIsRefusedAndKept() {
        namespace fsys = std::filesystem;
        const auto said = [&](Msg role, const char* file) {
            return formatMessage(
                english.at(static_cast<size_t>(role)),
                {"C:\\Program Files\\Vornak Uninstaller\\logs\\" + std::string(file)});
        };
        takeBeforeSnapshot();
        const std::string files1 = logsHost() + "/files_1.txt";
        fsys::copy_file(files1, files1 + ".whole");
        fsys::resize_file(files1, fsys::file_size(files1) - 10);
        click("btnGo2");
        QCOMPARE(dialogs.texts(Kind::Error),
                 std::vector<std::string>{said(Msg::fmtSnapshotIncomplete, "files_1.txt")});
        QVERIFY(w<QPushButton>("btnGo2")->isEnabled());
        QVERIFY(!w<QTimer>("Timer1")->isActive());
        QVERIFY(fsys::exists(files1));

        fsys::rename(files1 + ".whole", files1);
        // Changed while the name is typed: the comparison refuses it.
        dialogs.onInput = [&] {
            const std::string path = logsHost() + "/HKLM_2.txt";
            std::ifstream in(path, std::ios::binary);
            std::string bytes(std::istreambuf_iterator<char>(in), {});
            in.close();
            std::ofstream(path, std::ios::binary) << bytes.replace(0, 1, "*");
        };
        dialogs.inputAnswers = {"Acme"};
        click("btnGo2");
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.count(Kind::Error), size_t(2), 60000);
        QVERIFY(
            dialogs.texts(Kind::Error).back().find(said(Msg::fmtSnapshotAltered, "HKLM_2.txt")) !=
            std::string::npos);
        QVERIFY(!fsys::exists(logsHost() + "/Acme.anlog"));
        for (const char* kept : {"files_1.txt", "files_2.txt", "HKLM_1.txt", "HKLM_2.txt"})
            QVERIFY2(fsys::exists(logsHost() + "/" + kept), kept);
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
#ifdef _WIN32
        QSKIP("a folder's permission bits do not keep Windows from writing into it");
#endif
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
