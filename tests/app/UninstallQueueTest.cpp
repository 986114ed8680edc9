// Several rows uninstalled through the real main window: one after another,
// with "n of m" shown, a stop after the running one, one rebuild and a
// summary; and the quiet uninstall with its menu command and list mark. The
// uninstallers are small shell scripts on drive C, the registry a real store.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QStatusBar>
#include <QTableView>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "actions/UninstallBatch.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "app/QtText.h"
#include "app/QuietMarks.h"
#include "language/MessageCatalogue.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using vornak::platform::RegRoot;
using vornak::test::ScriptedDialogs;

namespace {

const std::string kUninstallPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string vornakTool() {
    const char* dir = std::getenv("VORNAK_PROGRAM_DIR");
    return std::string(dir ? dir : "bin") + "/vornak";
}

QString text(Msg role, const std::string& names) {
    return app::toDisplayText(formatMessage(role, {names}));
}

}  // namespace

class UninstallQueueTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::ProgramFixture> fx;
    ScriptedDialogs dialogs;
    std::unique_ptr<app::TForm1> form;

    void start() {
        form = std::make_unique<app::TForm1>(dialogs);
        app::createProgramWindows(*form);
        test::startUp(*form);
    }
    QTableView* list() { return form->findChild<QTableView*>("ListView1"); }
    QString info() { return form->findChild<QLabel*>("lblInfoBody")->text(); }
    QString progress() { return form->statusBar()->currentMessage(); }
    QAction* action(const char* name) { return form->findChild<QAction*>(name); }
    int row(const QString& caption) {
        auto* model = list()->model();
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->index(r, 0).data().toString() == caption)
                return r;
        return -1;
    }
    std::string file(const std::string& name) { return fx->tmp.str() + "/" + name; }
    std::string order() {
        std::ifstream in(file("order"));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // A script that logs its start, waits for its gate file when given one,
    // then runs `then` and logs its end.
    std::string uninstaller(const std::string& name, const std::string& gate,
                            const std::string& then) {
        const std::string path = fx->addProgramFile("Programs/" + name + "/un.exe");
        const std::string host = fx->driveC + "/Programs/" + name + "/un.exe";
        std::ofstream(host, std::ios::trunc)
            << "#!/bin/sh\necho \"start " << name << " $*\" >> '" << file("order") << "'\n"
            << (gate.empty() ? "" : "while [ ! -e '" + file(gate) + "' ]; do sleep 0.05; done\n")
            << then << "\necho \"end " << name << "\" >> '" << file("order") << "'\n";
#ifndef _WIN32
        chmod(host.c_str(), 0755);
#endif
        return path;
    }
    void setQuietCommand(const std::string& key, const std::string& command) {
        auto acc = fx->store->accessor();
        std::unique_ptr<platform::RegKey> handle;
        QCOMPARE(acc->openKey(RegRoot::LocalMachine, kUninstallPath + key,
                              platform::RegAccess::Full, handle),
                 platform::RegStatus::Ok);
        QCOMPARE(acc->setValue(*handle, "QuietUninstallString", platform::kRegSz,
                               command + std::string(1, '\0')),
                 platform::RegStatus::Ok);
    }
    std::string deleteOwnKey(const std::string& key) {
        return "'" + vornakTool() + "' reg delete 'HKLM\\" + kUninstallPath + key +
               "' /f >/dev/null";
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

    void selectedRowsRunInTurnAndStopAfterTheRunningOne() {
#ifdef _WIN32
        QSKIP("its uninstallers are shell scripts");
#endif
        fx->addRegistration(RegRoot::LocalMachine, "A", "Alpha",
                            uninstaller("A", "release A", deleteOwnKey("A")));
        fx->addRegistration(RegRoot::LocalMachine, "B", "Beta", uninstaller("B", "release B", ""));
        fx->addRegistration(RegRoot::LocalMachine, "C", "Gamma", uninstaller("C", "", ""));
        start();
        QVERIFY(!action("StopBatch")->isEnabled());
        // The keyboard's own way to select several: Shift and the arrows.
        list()->setFocus();
        list()->selectRow(row("Alpha"));
        QTest::keyClick(list(), Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(list(), Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(form->selectedRows(), (std::vector<int>{0, 1, 2}));
        QTest::keyClick(list(), Qt::Key_Return);

        QTRY_COMPARE(progress(), QStringLiteral("1 of 3: Alpha"));
        QCOMPARE(info(), progress());
        QTRY_VERIFY(action("StopBatch")->isEnabled());
        // The next one waits for the running one.
        QTRY_COMPARE(order(), std::string("start A \n"));
        QTest::qWait(300);
        QCOMPARE(order(), std::string("start A \n"));
        std::ofstream(file("release A")) << "";
        QTRY_COMPARE(progress(), QStringLiteral("2 of 3: Beta"));
        QCOMPARE(row("Alpha"), 0);  // the list is rebuilt once, at the end
        test::triggerAction(form.get(), "StopBatch");
        QCOMPARE(progress(), app::toDisplayText(messages().get(Msg::msgBatchStopping)));
        QVERIFY(!action("StopBatch")->isEnabled());
        std::ofstream(file("release B")) << "";

        QTRY_COMPARE(dialogs.count(ScriptedDialogs::Kind::Message), size_t{1});
        const QString summary = text(Msg::fmtBatchEnded, "Alpha") + "\n" +
                                text(Msg::fmtBatchStillListed, "Beta") + "\n" +
                                text(Msg::fmtBatchNotRun, "Gamma");
        QCOMPARE(app::toDisplayText(dialogs.texts(ScriptedDialogs::Kind::Message)[0]), summary);
        QCOMPARE(info(), summary);
        QCOMPARE(order(), std::string("start A \nend A\nstart B \nend B\n"));
        QCOMPARE(row("Alpha"), -1);
        QVERIFY(row("Beta") >= 0 && row("Gamma") >= 0);
        QCOMPARE(progress(), QString());
        QVERIFY(!action("StopBatch")->isEnabled());
    }

    void quietUninstallFollowsTheRowsThatHaveAQuietCommand() {
#ifdef _WIN32
        QSKIP("its uninstallers are shell scripts");
#endif
        const std::string quiet = uninstaller("Q", "", deleteOwnKey("Q"));
        fx->addRegistration(RegRoot::LocalMachine, "Q", "Quiet One", "C:\\Programs\\Q\\other.exe");
        setQuietCommand("Q", quiet + " /silent");
        fx->addRegistration(RegRoot::LocalMachine, "N", "Noisy", uninstaller("N", "", ""));
        fx->addRegistration(RegRoot::LocalMachine, "G", "Gone", "C:\\Programs\\G\\un.exe");
        setQuietCommand("G", "C:\\Programs\\G\\un.exe /S");
        start();
        auto* marks = dynamic_cast<app::QuietMarks*>(list()->itemDelegateForColumn(0));
        QVERIFY(marks);
        QCOMPARE(marks->mark(row("Quiet One")), QStringLiteral("quiet"));
        QCOMPARE(marks->mark(row("Noisy")), QString());
        QCOMPARE(marks->mark(row("Gone")), QStringLiteral("quiet"));

        QVERIFY(!action("UninstallQuietly")->isEnabled());  // nothing selected
        list()->selectRow(row("Noisy"));
        QVERIFY(!action("UninstallQuietly")->isEnabled());
        for (const QString caption : {"Quiet One", "Gone"})
            list()->selectionModel()->select(
                list()->model()->index(row(caption), 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(action("UninstallQuietly")->isEnabled());
        test::triggerAction(form.get(), "UninstallQuietly");

        QTRY_COMPARE(dialogs.count(ScriptedDialogs::Kind::Message), size_t{1});
        QCOMPARE(app::toDisplayText(dialogs.texts(ScriptedDialogs::Kind::Message)[0]),
                 text(Msg::fmtBatchEnded, "Quiet One") + "\n" +
                     text(Msg::fmtBatchNotStarted, "Gone") + "\n" +
                     text(Msg::fmtBatchNoQuietCommand, "Noisy"));
        QCOMPARE(order(), std::string("start Q /silent\nend Q\n"));
        QCOMPARE(row("Quiet One"), -1);
    }
};

VORNAK_QTEST_MAIN(UninstallQueueTest)
#include "UninstallQueueTest.moc"
