// Uninstall and Slet through the real main window, with real uninstallers
// (small shell scripts on drive C) and a real registry store.
#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#endif

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTableView>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "actions/UninstallRunner.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "app/QtText.h"
#include "language/MessageCatalogue.h"
#include "registry/RegistryBackup.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using vornak::app::TForm1;
using vornak::platform::RegRoot;
using vornak::test::ScriptedDialogs;
using Kind = ScriptedDialogs::Kind;

namespace {

const std::string kUninstallPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string vornakTool() {
    const char* dir = std::getenv("VORNAK_PROGRAM_DIR");
    return std::string(dir ? dir : "bin") + "/vornak";
}

}  // namespace

class EntryActionsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::ProgramFixture> fx;
    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;

    void start() {
        form = std::make_unique<TForm1>(dialogs);
        app::createProgramWindows(*form);
        test::startUp(*form);
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    QTableView* list() { return form->findChild<QTableView*>("ListView1"); }
    QLineEdit* box() { return form->findChild<QLineEdit*>("FilterBox"); }
    QString info() { return form->findChild<QLabel*>("lblInfoBody")->text(); }
    QString status(Msg role, const std::string& name) {
        return app::toDisplayText(actions::runStatusText(role, name));
    }
    QStringList rows() {
        QStringList out;
        auto* model = list()->model();
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, 0).data().toString();
        return out;
    }
    void select(const QString& caption) {
        const int row = rows().indexOf(caption);
        QVERIFY2(row >= 0, qPrintable(caption));
        list()->selectRow(row);
        list()->setFocus();
    }
    // The list's keys act only in the active window with the list focused; under
    // Wine the activation can come back a moment after the test's last step.
    void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        if (!form->isActiveWindow()) {
            form->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(form.get()));
        }
        list()->setFocus();
        QTRY_VERIFY(list()->hasFocus());
        QTest::keyClick(list(), key, mods);
    }
    // An executable script at C:\Program Files\<folder>\uninst.exe; returns that path.
    std::string uninstaller(const std::string& folder, const std::string& body) {
        const std::string path = fx->addProgramFile("Program Files/" + folder + "/uninst.exe");
        const std::string host = fx->driveC + "/Program Files/" + folder + "/uninst.exe";
        std::ofstream(host, std::ios::trunc) << "#!/bin/sh\n" << body << "\n";
#ifndef _WIN32
        chmod(host.c_str(), 0755);
#endif
        return path;
    }
    std::string file(const std::string& name) {
        return fx->tmp.str() + "/" + name;
    }
    std::string deleteOwnKey(const std::string& root, const std::string& key) {
        return "'" + vornakTool() + "' reg delete '" + root + "\\" + kUninstallPath + key + "' /f";
    }
    bool keyExists(RegRoot root, const std::string& key) {
        auto acc = fx->store->accessor();
        std::unique_ptr<platform::RegKey> handle;
        return acc->openKey(root, kUninstallPath + key, platform::RegAccess::Read, handle) ==
               platform::RegStatus::Ok;
    }

  private slots:
    void init() {
        fx = std::make_unique<test::ProgramFixture>();
        dialogs = ScriptedDialogs();
        messages().clear();
    }
    void cleanup() {
        form.reset();
        fx.reset();
    }

    void uninstallerThatRemovesItsRegistration() {
#ifdef _WIN32
        QSKIP("its uninstallers are shell scripts; the Windows runs are in WindowsHostTest");
#endif
        // Unquoted, with blanks in the path: the system finds the program.
        const std::string self = uninstaller(
            "Self Remover", "sleep 0.2\n" + deleteOwnKey("HKCU", "Self") + " >/dev/null");
        fx->addRegistration(RegRoot::CurrentUser, "Self", "Self Remover", self + " /S");
        fx->addRegistration(RegRoot::LocalMachine, "Other", "Other Remover", self);
        fx->addRegistration(RegRoot::LocalMachine, "Else", "Something Else", self);
        start();
        QTest::keyClicks(box(), "remover");
        QCOMPARE(rows(), QStringList({"Other Remover", "Self Remover"}));
        select("Self Remover");
        press(Qt::Key_Return);
        QTRY_COMPARE(info(), status(Msg::fmtUninstallStarted, "Self Remover"));
        QTRY_COMPARE(info(), status(Msg::fmtUninstallFinished, "Self Remover"));
        QTRY_COMPARE(rows(), QStringList({"Other Remover"}));
        QCOMPARE(box()->text(), QStringLiteral("remover"));
        QVERIFY(form->statusText().endsWith(" 1"));
        QVERIFY(dialogs.calls.empty());
    }

    void commandsWithoutASelectedRowDoNothing() {
        const std::string live = uninstaller("Live", "exit 0");
        fx->addRegistration(RegRoot::LocalMachine, "1", "Live", live);
        start();
        const QString before = info();
        list()->clearSelection();
        press(Qt::Key_Return);
        press(Qt::Key_Delete);
        press(Qt::Key_I, Qt::ControlModifier);
        QTest::mouseClick(form->findChild<QToolButton*>("btnUninstall"), Qt::LeftButton);
        QTest::mouseClick(form->findChild<QToolButton*>("btnDelete"), Qt::LeftButton);
        QTest::qWait(200);
        QCOMPARE(info(), before);
        QVERIFY(dialogs.calls.empty());
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(keyExists(RegRoot::LocalMachine, "1"));
    }

    void missingProgramIsNotStartedAndTheListIsRebuilt() {
        fx->addRegistration(RegRoot::LocalMachine, "Gone", "Gone Tool",
                            "\"C:\\Program Files\\Gone\\uninst.exe\" /S");
        start();
        fx->addRegistration(RegRoot::LocalMachine, "New", "New Arrival", "msiexec /x{1}");
        select("Gone Tool");
        test::triggerAction(form.get(), "Uninstall");
        QTRY_COMPARE(info(), status(Msg::fmtUninstallNotStarted, "Gone Tool"));
        QTRY_COMPARE(rows(), QStringList({"Gone Tool", "New Arrival"}));
        QVERIFY(dialogs.calls.empty());
    }

    void twoRunsAtOnceWhileTheWindowStaysUsable() {
#ifdef _WIN32
        QSKIP("its uninstallers are shell scripts; the Windows runs are in WindowsHostTest");
#endif
        const std::string wait =
            "echo $$ > \"$0.pid\"\nwhile [ ! -e '" + file("release") + "' ]; do sleep 0.05; done";
        fx->addRegistration(RegRoot::LocalMachine, "A", "Alpha", uninstaller("Alpha", wait));
        fx->addRegistration(RegRoot::CurrentUser, "B", "Beta", uninstaller("Beta", wait));
        start();
        select("Alpha");
        press(Qt::Key_Return);
        QTRY_COMPARE(info(), status(Msg::fmtUninstallStarted, "Alpha"));
        select("Beta");
        QTest::mouseClick(form->findChild<QToolButton*>("btnUninstall"), Qt::LeftButton);
        const std::string pidA = fx->driveC + "/Program Files/Alpha/uninst.exe.pid";
        const std::string pidB = fx->driveC + "/Program Files/Beta/uninst.exe.pid";
        QTRY_VERIFY(std::filesystem::exists(pidA) && std::filesystem::exists(pidB));
        QTRY_COMPARE(info(), status(Msg::fmtUninstallStarted, "Beta"));

        // Meanwhile the list filters, and a registration arrives.
        QTest::keyClicks(box(), "a");
        QCOMPARE(rows(), QStringList({"Alpha", "Beta"}));
        QTest::keyClicks(box(), "l");
        QCOMPARE(rows(), QStringList({"Alpha"}));
        fx->addRegistration(RegRoot::LocalMachine, "C", "Alps Later", "msiexec /x{2}");

        std::ofstream(file("release")) << "";
        QTRY_VERIFY(info() == status(Msg::fmtUninstallFinished, "Alpha") ||
                    info() == status(Msg::fmtUninstallFinished, "Beta"));
        QTRY_COMPARE(rows(), QStringList({"Alpha", "Alps Later"}));
        QCOMPARE(box()->text(), QStringLiteral("al"));
    }

    void programThatHandsOverToAChildEndsTheRunAtOnce() {
#ifdef _WIN32
        QSKIP("its uninstallers are shell scripts; the Windows runs are in WindowsHostTest");
#endif
        const std::string handOver =
            "( sleep 1.5; " + deleteOwnKey("HKLM", "Kid") + " >/dev/null ) &\nexit 0";
        fx->addRegistration(RegRoot::LocalMachine, "Kid", "Kid Setup",
                            uninstaller("Kid", handOver));
        start();
        select("Kid Setup");
        press(Qt::Key_Return);
        QTRY_COMPARE(info(), status(Msg::fmtUninstallFinished, "Kid Setup"));
        QCOMPARE(rows(), QStringList({"Kid Setup"}));  // the child has not done its work yet
        QTRY_VERIFY(!keyExists(RegRoot::LocalMachine, "Kid"));
        test::triggerAction(form.get(), "OpdaterListen");
        QCOMPARE(rows(), QStringList());
    }

    void specialFilterStaysAfterARun() {
        const std::string live = uninstaller("Live", "exit 0");
        fx->addRegistration(RegRoot::LocalMachine, "1", "Live One", live);
        fx->addRegistration(RegRoot::LocalMachine, "2", "Dead One", "C:\\nowhere\\un.exe");
        fx->addRegistration(RegRoot::LocalMachine, "3", "Dead Two", "C:\\nowhere\\un2.exe");
        start();
        test::triggerAction(form.get(), "kundoedelinks");
        QCOMPARE(rows(), QStringList({"Dead One", "Dead Two"}));
        fx->addRegistration(RegRoot::LocalMachine, "4", "Dead Three", "C:\\nowhere\\un3.exe");
        select("Dead One");
        press(Qt::Key_Return);
        QTRY_COMPARE(info(), status(Msg::fmtUninstallNotStarted, "Dead One"));
        QTRY_COMPARE(rows(), QStringList({"Dead One", "Dead Three", "Dead Two"}));
        QCOMPARE(box()->text(), QStringLiteral("{!-DEAD-!}"));
        QVERIFY(form->findChild<QAction*>("kundoedelinks")->isChecked());
        QVERIFY(form->statusText().endsWith(" 3"));
    }

    void closingTheWindowNeitherWaitsForNorStopsTheUninstaller() {
#ifdef _WIN32
        QSKIP("its uninstallers are shell scripts; the Windows runs are in WindowsHostTest");
#else
        const std::string wait = "echo $$ > '" + file("pid") + "'\nwhile [ ! -e '" +
                                 file("release") + "' ]; do sleep 0.05; done\ntouch '" +
                                 file("ended") + "'";
        fx->addRegistration(RegRoot::LocalMachine, "W", "Waiter", uninstaller("Waiter", wait));
        start();
        select("Waiter");
        press(Qt::Key_Return);
        QTRY_VERIFY(std::filesystem::exists(file("pid")));
        QTRY_COMPARE(info(), status(Msg::fmtUninstallStarted, "Waiter"));
        form->close();
        form.reset();
        int pid = 0;
        std::ifstream(file("pid")) >> pid;
        QVERIFY(pid > 0);
        QCOMPARE(kill(pid, 0), 0);
        // The run ends after its window has gone: its updates go nowhere.
        std::ofstream(file("release")) << "";
        QTRY_VERIFY(std::filesystem::exists(file("ended")));
        QTest::qWait(300);
#endif
    }

    void deletionUnderBothRoots() {
        fx->addRegistration(RegRoot::CurrentUser, "U", "User Thing", "msiexec.exe /x{u}");
        fx->addRegistration(RegRoot::LocalMachine, "M", "Machine Thing", "msiexec /x{m}");
        {
            auto acc = fx->store->accessor();
            std::unique_ptr<platform::RegKey> key;
            QCOMPARE(acc->createKey(RegRoot::LocalMachine, kUninstallPath + "M\\Sub\\Deeper",
                                    platform::RegAccess::Full, key),
                     platform::RegStatus::Ok);
        }
        start();
        dialogs.yesNoAnswers = {false, true, true};
        select("User Thing");
        press(Qt::Key_Delete);
        QCOMPARE(dialogs.count(Kind::Message), size_t{0});  // No: not even the root box
        QVERIFY(keyExists(RegRoot::CurrentUser, "U"));

        press(Qt::Key_Delete);
        QCOMPARE(dialogs.calls.back().kind, Kind::Message);
        QCOMPARE(dialogs.calls.back().text, std::string("CU"));
        const auto& question = dialogs.calls[dialogs.calls.size() - 2];
        QCOMPARE(question.text, messages().get(Msg::msgDeleteEntryQuestion));
        QCOMPARE(question.title, messages().get(Msg::msgConfirmCaption));
        QVERIFY(!keyExists(RegRoot::CurrentUser, "U"));
        QCOMPARE(rows(), QStringList({"Machine Thing"}));

        select("Machine Thing");
        QTest::mouseClick(form->findChild<QToolButton*>("btnDelete"), Qt::LeftButton);
        QCOMPARE(dialogs.texts(Kind::Message), std::vector<std::string>({"CU", "LM"}));
        QVERIFY(!keyExists(RegRoot::LocalMachine, "M"));
        QCOMPARE(rows(), QStringList());
        // Gone from the master list too: a new filter text does not bring them back.
        QTest::keyClicks(box(), "t");
        box()->clear();
        QCOMPARE(rows(), QStringList());
        QCOMPARE(dialogs.count(Kind::Error), size_t{0});
    }

    void deletingAKeyThatIsAlreadyGone() {
        fx->addRegistration(RegRoot::LocalMachine, "G", "Gone Already", "msiexec /x{g}");
        start();
        QVERIFY(QProcess::execute(
                    QString::fromStdString(vornakTool()),
                    {"reg", "delete", QString::fromStdString("HKLM\\" + kUninstallPath + "G"),
                     "/f"}) == 0);
        dialogs.yesNoAnswers = {true};
        select("Gone Already");
        press(Qt::Key_Delete);
        QCOMPARE(rows(), QStringList());
        QVERIFY(!keyExists(RegRoot::LocalMachine, "G"));
        QCOMPARE(dialogs.count(Kind::Error), size_t{0});
    }

    void deletionThatTheStoreRefusesKeepsTheRow() {
#ifdef _WIN32
        QSKIP("the Windows registry offers this test no key it may read but not write");
#endif
        fx->addRegistration(RegRoot::LocalMachine, "P", "Protected Thing", "msiexec /x{p}");
        start();
        fx->protectMachineStore();
        dialogs.yesNoAnswers = {true};
        select("Protected Thing");
        press(Qt::Key_Delete);
        QCOMPARE(dialogs.texts(Kind::Message), std::vector<std::string>({"LM"}));
        QCOMPARE(dialogs.texts(Kind::Error),
                 std::vector<std::string>(
                     {formatMessage(Msg::fmtEntryNotDeleted, {std::string("Protected Thing"),
                                                              std::string("Access is denied.")})}));
        QCOMPARE(rows(), QStringList({"Protected Thing"}));
        QVERIFY(keyExists(RegRoot::LocalMachine, "P"));
    }

    void aDeletedEntryComesBackWholeFromItsBackupThroughTheFileMenu() {
        fx->addRegistration(RegRoot::LocalMachine, "R", "Restored Thing", "msiexec /x{r}");
        fx->addRegistration(RegRoot::LocalMachine, "Old", "Old Thing", "msiexec /x{o}");
        {
            auto acc = fx->store->accessor();
            std::unique_ptr<platform::RegKey> key;
            QCOMPARE(acc->createKey(RegRoot::LocalMachine, kUninstallPath + "R\\Sub",
                                    platform::RegAccess::Full, key),
                     platform::RegStatus::Ok);
        }
        start();
#ifndef _WIN32
        // Without a backup nothing is deleted.
        const std::string backups = fx->programHost + "/backups";
        std::filesystem::create_directories(backups);
        chmod(backups.c_str(), 0555);
        dialogs.yesNoAnswers = {true};
        select("Restored Thing");
        press(Qt::Key_Delete);
        chmod(backups.c_str(), 0755);
        QCOMPARE(dialogs.count(Kind::Error), size_t{1});
        QVERIFY(keyExists(RegRoot::LocalMachine, "R\\Sub"));
        QVERIFY(rows().contains("Restored Thing"));
#endif
        dialogs.yesNoAnswers = {true, true};
        select("Old Thing");
        press(Qt::Key_Delete);
        // The next backup is a second later at least: the newest is listed first.
        QTest::qWait(1100);
        select("Restored Thing");
        press(Qt::Key_Delete);
        QVERIFY(!keyExists(RegRoot::LocalMachine, "R"));
        QCOMPARE(rows(), QStringList());

        dialogs.choiceAnswers = {0};
        dialogs.yesNoAnswers = {true};
        test::triggerAction(form.get(), "GendanBackup");
        QCOMPARE(dialogs.lastChoiceItems.size(), size_t{2});
        QVERIFY(dialogs.lastChoiceItems[0].find("Restored Thing") != std::string::npos);
        QVERIFY(keyExists(RegRoot::LocalMachine, "R\\Sub"));
        QVERIFY(!keyExists(RegRoot::LocalMachine, "Old"));
        QCOMPARE(rows(), QStringList({"Restored Thing"}));

        // The settings beside it are remembered as they are set.
        QVERIFY(!registry::trashSettingOn());
        test::triggerAction(form.get(), "Papirkurv");
        QVERIFY(registry::trashSettingOn());
        dialogs.inputAnswers = {std::string("30")};
        test::triggerAction(form.get(), "BackupDage");
        QCOMPARE(registry::backupRetentionDays(), 30);
    }
};

VORNAK_QTEST_MAIN(EntryActionsTest)
#include "EntryActionsTest.moc"
