// The analysis wizard under a real window manager (run through
// with-x-server.sh): what its frame offers, and that minimising and restoring
// it leaves an analysis where it was.
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QWindow>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "analysis/AnalyzeForm.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "language/MessageCatalogue.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using vornak::analysis::TAnalyzeForm;

class AnalyzeFormWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::ProgramFixture> fx;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<app::TForm1> form;
    TAnalyzeForm* wizard = nullptr;

    template <class T = QWidget>
    T* w(const char* name) {
        auto* found = wizard->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    // A property of the window as xprop shows it.
    QString xprop(QWidget* window, const char* name) {
        QProcess process;
        process.start(
            QStringLiteral("xprop"),
            {QStringLiteral("-id"), QString::number(window->winId()), QString::fromLatin1(name)});
        process.waitForFinished();
        return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    }
    // The way a user minimises it: the wizard has no minimise box, so
    // through the program's window, which takes its dialogs along.
    void minimiseAndRestore() {
        form->showMinimized();
        QTRY_VERIFY(!wizard->windowHandle()->isExposed());
        form->showNormal();
        QTRY_VERIFY(wizard->windowHandle()->isExposed());
        QTest::qWait(100);  // any late event of the restore
    }

  private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            QSKIP("needs an X server with a window manager: run it through with-x-server.sh");
    }
    void init() {
        fx = std::make_unique<test::ProgramFixture>();
        dialogs = test::ScriptedDialogs();
        messages().clear();
        form = std::make_unique<app::TForm1>(dialogs);
        app::createProgramWindows(*form);
        test::startUp(*form);
        wizard = dynamic_cast<TAnalyzeForm*>(form->findChild<QDialog*>("AnalyzeForm"));
        QVERIFY(wizard);
        wizard->setTimerIntervals(20, 20);
        wizard->show();
        QTRY_VERIFY(wizard->frameGeometry() != wizard->geometry());
    }
    void cleanup() {
        form.reset();
        fx.reset();
    }

    void frameOffersOnlyTheCloseBox() {
        // What the wizard asks of the frame: "flags, functions, decorations".
        const QString hints = xprop(wizard, "_MOTIF_WM_HINTS");
        const QStringList fields = hints.section(QLatin1Char('='), 1).split(QLatin1Char(','));
        QVERIFY2(fields.size() >= 3, qPrintable(hints));
        bool read[2] = {};
        const uint functions = fields[1].trimmed().toUInt(&read[0], 0);
        const uint decorations = fields[2].trimmed().toUInt(&read[1], 0);
        QVERIFY2(read[0] && read[1], qPrintable(hints));
        constexpr uint kFuncMinimise = 0x08, kFuncMaximise = 0x10, kFuncClose = 0x20;
        constexpr uint kDecorMinimise = 0x20, kDecorMaximise = 0x40;
        QVERIFY2(functions & kFuncClose, qPrintable(hints));
        QVERIFY2(!(functions & (kFuncMinimise | kFuncMaximise)), qPrintable(hints));
        QVERIFY2(!(decorations & (kDecorMinimise | kDecorMaximise)), qPrintable(hints));
        // And what the window manager made of it.
        const QString actions = xprop(wizard, "_NET_WM_ALLOWED_ACTIONS");
        QVERIFY2(actions.contains(QStringLiteral("_NET_WM_ACTION_CLOSE")), qPrintable(actions));
        QVERIFY2(!actions.contains(QStringLiteral("MAXIMIZE")), qPrintable(actions));
    }

    void minimiseAndRestoreKeepTheAnalysis() {
        w<QPushButton>("btnNext_01")->click();
        w<QPushButton>("btnGo1")->click();
        QTRY_VERIFY_WITH_TIMEOUT(w<QPushButton>("btnGo2")->isEnabled(), 60000);

        // Waiting for the installation: the snapshot from before stays usable.
        minimiseAndRestore();
        QCOMPARE(w<QStackedWidget>("PageControl1")->currentIndex(), 1);
        QVERIFY(w<QPushButton>("btnGo2")->isEnabled());
        QVERIFY(!w<QPushButton>("btnGo1")->isEnabled());

        // While the second run goes on: still running, and it cannot be closed.
        wizard->setTimerIntervals(1000, 20);
        w<QPushButton>("btnGo2")->click();
        minimiseAndRestore();
        QVERIFY(w<QTimer>("Timer1")->isActive());
        QVERIFY(!w<QPushButton>("btnGo2")->isEnabled());
        QVERIFY(!w<QPushButton>("btnCancel_02")->isEnabled());
        wizard->close();
        QVERIFY(wizard->isVisible());
        // It ends as a run ends: the name is asked (cancelled: the empty name).
        QTRY_VERIFY_WITH_TIMEOUT(!wizard->isVisible(), 60000);
        QCOMPARE(dialogs.count(test::ScriptedDialogs::Kind::Input), size_t(1));
    }
};

VORNAK_QTEST_MAIN(AnalyzeFormWindowTest)
#include "AnalyzeFormWindowTest.moc"
