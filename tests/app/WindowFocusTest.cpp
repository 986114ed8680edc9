// Where the keys go under a real window manager (run through with-x-server.sh):
// after an analysis during which the user worked in another program, the
// wizard's end message and then the main window have the keys again.
#include <QApplication>
#include <QDialog>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "analysis/AnalyzeForm.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "language/MessageCatalogue.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;

namespace {

// Notes, when a message is shown, whether the window it belongs to gets the keys.
class WatchingDialogs : public test::ScriptedDialogs {
  public:
    QWidget* owner = nullptr;
    std::vector<bool> ownerActive;
    void showMessage(const std::string& text) override {
        ScriptedDialogs::showMessage(text);
        ownerActive.push_back(owner && QTest::qWaitFor([&] { return owner->isActiveWindow(); }));
    }
};

}  // namespace

class WindowFocusTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            QSKIP("needs an X server with a window manager: run it through with-x-server.sh");
        if (QStandardPaths::findExecutable(QStringLiteral("xmessage")).isEmpty())
            QSKIP("xmessage (x11-utils) stands in for the installer and is not installed");
    }

    void keysComeBackAfterAnAnalysis() {
        test::ProgramFixture fx;
        messages().clear();
        WatchingDialogs dialogs;
        app::TForm1 form(dialogs);
        app::createProgramWindows(form);
        test::startUp(form);
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto* wizard = form.findChild<analysis::TAnalyzeForm*>(QStringLiteral("AnalyzeForm"));
        QVERIFY(wizard);
        wizard->setTimerIntervals(20, 20);
        dialogs.owner = wizard;
        dialogs.inputAnswers = {std::string("Focus")};

        QProcess installer;
        bool installerHadTheKeys = false;
        QTimer::singleShot(0, wizard, [&] {
            auto button = [&](const char* name) {
                return wizard->findChild<QPushButton*>(QString::fromLatin1(name));
            };
            button("btnNext_01")->click();
            button("btnGo1")->click();
            (void)QTest::qWaitFor([&] { return button("btnGo2")->isEnabled(); }, 60000);
            // The user goes off to install: another program has the keys.
            installer.start(QStringLiteral("xmessage"),
                            {QStringLiteral("-center"), QStringLiteral("Installing")});
            installerHadTheKeys =
                installer.waitForStarted() &&
                QTest::qWaitFor([&] { return !QApplication::activeWindow(); }, 30000);
            button("btnGo2")->click();
        });
        form.findChild<QToolButton*>(QStringLiteral("btnAnalyze"))->click();

        QVERIFY(installerHadTheKeys);
        QCOMPARE(dialogs.texts(test::ScriptedDialogs::Kind::Message),
                 std::vector<std::string>{messages().get(Msg::msgAnalysisDone)});
        QCOMPARE(dialogs.ownerActive, std::vector<bool>{true});
        QVERIFY(!wizard->isVisible());
        QTRY_VERIFY(form.isActiveWindow());
        installer.kill();
        installer.waitForFinished();
    }
};

VORNAK_QTEST_MAIN(WindowFocusTest)
#include "WindowFocusTest.moc"
