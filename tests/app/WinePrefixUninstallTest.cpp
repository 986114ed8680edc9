// A real NSIS installer in a real Wine prefix (made once in the build folder and
// used by the cases in turn): listed, uninstalled through the tool and through
// the window, its entries edited and deleted, and Wine's own `reg query` and
// `uninstaller --list` asked what is left.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "actions/UninstallRunner.h"
#include "app/MainWindow.h"
#include "app/PrefixChoice.h"
#include "app/ProgramWindows.h"
#include "app/QtText.h"
#include "language/MessageCatalogue.h"
#include "platform/WinePrefix.h"
#include "support/RunProgram.h"
#include "support/ScriptedDialogs.h"
#include "support/WineTestSupport.h"

using namespace vornak;
using vornak::app::TForm1;
using vornak::test::ScriptedDialogs;

namespace {

const std::string kUninstallKey = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char* const kProbe = "Vornak Wine Probe 1.0";

const char* const kInstallerScript = R"(Name "Vornak Wine Probe"
OutFile "vornak-wine-probe-setup.exe"
InstallDir "$PROGRAMFILES64\Vornak Wine Probe"
RequestExecutionLevel admin
!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VornakWineProbe"
Section
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${KEY}" "DisplayName" "Vornak Wine Probe 1.0"
  WriteRegStr HKLM "${KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /S'
SectionEnd
Section "Uninstall"
  DeleteRegKey HKLM "${KEY}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
)";

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

class WinePrefixUninstallTest : public QObject {
    Q_OBJECT

  private:
    std::string prefix = VORNAK_TEST_NSIS_PREFIX_DIR;
    std::string installer;
    std::unique_ptr<test::TempDir> userData;
    std::unique_ptr<test::ProgramFixture> fx;
    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;

    std::map<std::string, std::string> toolEnv() {
        auto env = test::wineEnv(prefix);
        env["VORNAK_WINEPREFIX"] = prefix;
        env["XDG_DATA_HOME"] = userData->str();
        return env;
    }
    test::ProgramResult tool(const std::vector<std::string>& args) {
        const char* dir = std::getenv("VORNAK_PROGRAM_DIR");
        return test::runProgram(std::string(dir ? dir : "bin") + "/vornak", args, toolEnv());
    }
    test::ProgramResult wine(const std::vector<std::string>& args) {
        return test::runWine(prefix, "wine", args);
    }
    bool wineHasKey(const std::string& key) {
        return wine({"reg", "query", kUninstallKey + key}).exitCode == 0;
    }
    void install() {
        QCOMPARE(wine({installer, "/S"}).exitCode, 0);
        QVERIFY(wineHasKey("VornakWineProbe"));
    }
    // Gone as Wine sees it, and from the prefix's files as soon as the run ended.
    void verifyProbeGone() {
        QVERIFY(!platform::prefixServerRunning(prefix));
        QVERIFY(readAll(prefix + "/system.reg").find("VornakWineProbe") == std::string::npos);
        QVERIFY(!wineHasKey("VornakWineProbe"));
        const auto listed = wine({"uninstaller", "--list"});
        QCOMPARE(listed.exitCode, 0);
        QVERIFY2(listed.out.find(kProbe) == std::string::npos, listed.out.c_str());
    }

    QTableView* list() { return form->findChild<QTableView*>("ListView1"); }
    QStringList rows() {
        QStringList out;
        for (int r = 0; r < list()->model()->rowCount(); ++r)
            out << list()->model()->index(r, 0).data().toString();
        return out;
    }
    void select(const QString& caption) {
        form->activateWindow();
        QTRY_VERIFY(form->isActiveWindow());
        const int row = rows().indexOf(caption);
        QVERIFY2(row >= 0, qPrintable(caption));
        list()->selectRow(row);
        list()->setFocus();
    }
    // The window on the machine's store, switched to the prefix through its menu.
    void startInThePrefix() {
        form = std::make_unique<TForm1>(dialogs);
        app::createProgramWindows(*form);
        test::startUp(*form);
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        auto* menu = form->findChild<QMenu*>("WinePrefix");
        QVERIFY(menu);
        emit menu->aboutToShow();
        QAction* item = nullptr;
        for (QAction* action : menu->actions())
            if (action->data().toString() == app::toQt(prefix))
                item = action;
        QVERIFY2(item, "the prefix is offered");
        item->trigger();
        QVERIFY(item->isChecked());
    }

  private slots:
    void initTestCase() {
        if (const std::string why = test::wineMissing(true); !why.empty())
            QSKIP(why.c_str());
        userData = std::make_unique<test::TempDir>();
        // Our own Wine calls and the ones the window starts: the prefix's home,
        // never the real one; the prefix found where `vornak prefixes` looks.
        for (const auto& [name, value] : test::wineEnv(prefix))
            setenv(name.c_str(), value.c_str(), 1);
        setenv("XDG_DATA_HOME", userData->str().c_str(), 1);
        std::string error;
        QVERIFY2(test::makeWinePrefix(prefix, error), error.c_str());
        installer = test::buildNsisInstaller(kInstallerScript, prefix + ".installer", error);
        QVERIFY2(!installer.empty(), error.c_str());
        // A run cut short earlier may have left the program installed.
        if (wineHasKey("VornakWineProbe"))
            wine({"C:\\Program Files\\Vornak Wine Probe\\uninstall.exe", "/S"});
    }
    void init() {
        fx = std::make_unique<test::ProgramFixture>();
        // The user has chosen the machine's own store before: the one prefix
        // found is not offered at the start, the menu switches to it.
        fx->setSetting("WinePrefix", "");
        dialogs = ScriptedDialogs();
        messages().clear();
    }
    void cleanup() {
        form.reset();
        platform::resetWinePrefixUse();
        fx.reset();
    }

    void listedThenUninstalledThroughTheTool() {
        install();
        const auto listed = tool({"list"});
        QCOMPARE(listed.exitCode, 0);
        const std::string row = std::string(
                                    "ok\tLM\t\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninst"
                                    "all\\VornakWineProbe\t") +
                                kProbe +
                                "\t\"C:\\Program Files\\Vornak Wine Probe\\uninstall.exe\" /S\n";
        QVERIFY2(listed.out.find(row) != std::string::npos, listed.out.c_str());

        const auto run = tool({"uninstall", "VornakWineProbe"});
        QVERIFY2(run.exitCode == 0, run.err.c_str());
        verifyProbeGone();
        QVERIFY(tool({"list"}).out.find(kProbe) == std::string::npos);
    }

    void uninstalledThroughTheWindowInItsPrefix() {
        install();
        // The machine's own list hides the probe: the prefix's is another list.
        const std::string machineHidden = std::string(kProbe) + "\r\n";
        std::ofstream(fx->programHost + "/hidden.dat", std::ios::binary) << machineHidden;
        fx->addRegistration(platform::RegRoot::LocalMachine, "Machine", "Machine Only",
                            "msiexec /x{1}");
        startInThePrefix();
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY2(rows().contains(kProbe), qPrintable(rows().join('|')));
        QVERIFY(!rows().contains("Machine Only"));
        QCOMPARE(fx->settingText("WinePrefix"), std::optional<std::string>(prefix));

        select(kProbe);
        QTest::keyClick(list(), Qt::Key_Return);
        const auto finished = app::toDisplayText(
            actions::runStatusText(Msg::fmtUninstallFinished, kProbe));
        auto* info = form->findChild<QLabel*>("lblInfoBody");
        QTRY_COMPARE_WITH_TIMEOUT(info->text(), finished, 90000);
        QTRY_VERIFY(!rows().contains(kProbe));
        verifyProbeGone();
        QVERIFY(dialogs.calls.empty());

        form->close();
        QCOMPARE(readAll(fx->programHost + "/hidden.dat"), machineHidden);
        QVERIFY(std::filesystem::exists(platform::prefixDataFolder(prefix) + "hidden.dat"));
        QVERIFY(readAll(prefix + "/system.reg").find("Vornak\\\\Uninstaller") == std::string::npos);

        // The next start takes up the remembered prefix.
        form.reset();
        platform::resetWinePrefixUse();
        app::restoreWinePrefix();
        QCOMPARE(platform::activeWinePrefix(), prefix);
        QCOMPARE(platform::defaultRegistryStore()->location().find(prefix), size_t{0});
    }

    void entriesEditedAndDeletedAreWhatWineReads() {
        // One import for both (each Wine call costs a server start and end).
        std::ofstream(prefix + "/drive_c/vornak-probes.reg", std::ios::binary)
            << "REGEDIT4\r\n\r\n"
            << "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
               "VornakEditProbe]\r\n\"DisplayName\"=\"Edit Probe\"\r\n"
               "\"UninstallString\"=\"msiexec /x{9}\"\r\n\r\n"
            << "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
               "VornakDeleteProbe]\r\n\"DisplayName\"=\"Delete Probe\"\r\n"
               "\"UninstallString\"=\"msiexec /x{9}\"\r\n\r\n"
            << "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
               "VornakHeldProbe]\r\n\"DisplayName\"=\"Held Probe\"\r\n"
               "\"UninstallString\"=\"C:\\\\vornak-held\\\\un.exe\"\r\n";
        QCOMPARE(wine({"reg", "import", "C:\\vornak-probes.reg"}).exitCode, 0);
        startInThePrefix();
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(rows().contains("Edit Probe") && rows().contains("Delete Probe"));

        select("Edit Probe");
        bool edited = false;
        QTimer::singleShot(0, form.get(), [&] {
            QWidget* editor = QApplication::activeModalWidget();
            QVERIFY(editor);
            auto* values = editor->findChild<QTreeWidget*>("lsvStuff");
            QCOMPARE(values->topLevelItem(0)->text(0), QStringLiteral("DisplayName"));
            values->setCurrentItem(values->topLevelItem(0));
            editor->findChild<QAction*>("Change1")->trigger();
            editor->findChild<QLineEdit*>("edtChangedValue")->setText("Edit Probe 2");
            QTest::mouseClick(editor->findChild<QPushButton*>("btnOK"), Qt::LeftButton);
            QTest::mouseClick(editor->findChild<QPushButton*>("btnSave"), Qt::LeftButton);
            edited = !editor->isVisible();
        });
        QTest::keyClick(list(), Qt::Key_I, Qt::ControlModifier);
        QVERIFY(edited);
        QVERIFY(rows().contains("Edit Probe 2"));

        dialogs.yesNoAnswers = {true};
        select("Delete Probe");
        QTest::keyClick(list(), Qt::Key_Delete);
        QVERIFY(!rows().contains("Delete Probe"));
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Error), size_t{0});

        const auto query =
            wine({"reg", "query", kUninstallKey + "VornakEditProbe", "/v", "DisplayName"});
        QVERIFY2(query.out.find("Edit Probe 2") != std::string::npos, query.out.c_str());
        QVERIFY(!wineHasKey("VornakDeleteProbe"));
    }

    void aHeldEnterStartsARunningUninstallerOnce() {
        // A host program of the prefix's drive C that counts its starts and
        // runs until it is let go.
        const std::string folder = prefix + "/drive_c/vornak-held";
        std::filesystem::create_directories(folder);
        std::filesystem::remove(folder + "/release");
        std::filesystem::remove(folder + "/starts");
        std::ofstream(folder + "/un.exe")
            << "#!/bin/sh\necho x >> '" << folder << "/starts'\nwhile [ ! -e '" << folder
            << "/release' ]; do sleep 0.1; done\n";
        std::filesystem::permissions(folder + "/un.exe", std::filesystem::perms::owner_all);
        fx->addRegistration(platform::RegRoot::LocalMachine, "Machine", "Machine Only",
                            "msiexec /x{1}");
        startInThePrefix();
        QVERIFY(!QTest::currentTestFailed());
        select("Held Probe");
        auto* info = form->findChild<QLabel*>("lblInfoBody");
        const auto running =
            app::toDisplayText(actions::runStatusText(Msg::fmtUninstallRunning, "Held Probe"));
        QTest::keyClick(list(), Qt::Key_Return);
        QTRY_COMPARE(info->text(), app::toDisplayText(actions::runStatusText(
                                       Msg::fmtUninstallStarted, "Held Probe")));
        // The key held down: the first press, then the keyboard's repeats.
        for (int i = 0; i < 20; ++i) {
            QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
            QApplication::sendEvent(list(), &repeat);
        }
        QTRY_COMPARE(info->text(), running);
        // The status says so once the process is made; its first line may come a moment later.
        QTRY_COMPARE(readAll(folder + "/starts"), std::string("x\n"));

        std::ofstream(folder + "/release") << "";
        const auto finished =
            app::toDisplayText(actions::runStatusText(Msg::fmtUninstallFinished, "Held Probe"));
        QTRY_COMPARE_WITH_TIMEOUT(info->text(), finished, 30000);
        // Ended, it may be started again.
        select("Held Probe");
        QTest::keyClick(list(), Qt::Key_Return);
        QTRY_COMPARE(readAll(folder + "/starts"), std::string("x\nx\n"));
        QTRY_COMPARE_WITH_TIMEOUT(info->text(), finished, 30000);
    }

    void whileWineRunsThereTheWindowSaysSoAndDeletesNothing() {
        const std::string server = test::onPath("wineserver");
        // Through the shell: the server keeps its inherited output open while it runs.
        QCOMPARE(std::system(("WINEPREFIX='" + prefix + "' '" + server + "' -p >/dev/null 2>&1")
                                 .c_str()),
                 0);
        startInThePrefix();
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(dialogs.texts(ScriptedDialogs::Kind::Message),
                 std::vector<std::string>{formatMessage(Msg::fmtPrefixBusy, {prefix})});
        dialogs.yesNoAnswers = {true};
        select("Edit Probe 2");
        QTest::keyClick(list(), Qt::Key_Delete);
        // Said before any question, which would only end in a failure.
        QCOMPARE(dialogs.texts(ScriptedDialogs::Kind::Error),
                 std::vector<std::string>{formatMessage(Msg::fmtPrefixNoChange, {prefix, prefix})});
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::YesNo), size_t{0});
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), size_t{1});
        QVERIFY(rows().contains("Edit Probe 2"));

        // No snapshot of registry files that lag behind what Wine holds.
        auto* wizard = form->findChild<QDialog*>("AnalyzeForm");
        QVERIFY(wizard);
        wizard->show();
        wizard->findChild<QPushButton*>("btnNext_01")->click();
        wizard->findChild<QPushButton*>("btnGo1")->click();
        QTRY_VERIFY_WITH_TIMEOUT(wizard->findChild<QPushButton*>("btnGo1")->isEnabled(), 10000);
        QCOMPARE(dialogs.texts(ScriptedDialogs::Kind::Error).back(),
                 formatMessage(Msg::fmtPrefixBusySnapshot, {prefix, prefix}));
        QVERIFY(!wizard->findChild<QPushButton*>("btnGo2")->isEnabled());
        wizard->close();
        test::runWine(prefix, "wineserver", {"-k"});
        test::runWine(prefix, "wineserver", {"-w"});
        QVERIFY(wineHasKey("VornakEditProbe"));
    }
};

VORNAK_QTEST_MAIN(WinePrefixUninstallTest)
#include "WinePrefixUninstallTest.moc"
