// Where the main window comes back after a restart, under a real window manager
// (run through with-x-server.sh): the saved placement and the restored one are
// the window's own edges and size, so the window never creeps, however soon
// it is closed. The other windows open centred on the screen, every time.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "app/QtDialogs.h"
#include "language/MessageCatalogue.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using vornak::app::TForm1;

namespace {

const QRect kSaved(120, 90, 520, 380);

QPoint screenCentre() {
    return QGuiApplication::primaryScreen()->availableGeometry().center();
}

// Where a window stands once the window manager has framed and placed it.
QRect settledPlace(QWidget* window) {
    (void)QTest::qWaitFor([&] { return window->frameGeometry() != window->geometry(); });
    QRect last;
    (void)QTest::qWaitFor(
        [&] {
            const QRect now = window->geometry();
            const bool same = now == last;
            last = now;
            return same;
        },
        300);
    return last;
}

}  // namespace

class WindowPlacementTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::ProgramFixture> fx;
    test::ScriptedDialogs dialogs;

    void storePlacement(const QRect& placement) {
        fx->setSettingFlag("grid", 0);
        fx->setSetting("WindowState", "Normal");
        fx->setSetting("WindowLeft", std::to_string(placement.x()));
        fx->setSetting("WindowTop", std::to_string(placement.y()));
        fx->setSetting("WindowWidth", std::to_string(placement.width()));
        fx->setSetting("WindowHeight", std::to_string(placement.height()));
    }
    QRect savedPlacement() {
        const auto number = [&](const char* name) {
            return std::stoi(fx->settingText(name).value());
        };
        return {number("WindowLeft"), number("WindowTop"), number("WindowWidth"),
                number("WindowHeight")};
    }
    // Started and framed by the window manager.
    void startFramed(TForm1& form) {
        test::startUp(form);
        QTRY_VERIFY(form.frameGeometry() != form.geometry());
    }

  private slots:
    void initTestCase() {
#ifdef _WIN32
        // Windows draws the frames itself; the minimal platform has none.
        if (QGuiApplication::platformName() != QStringLiteral("windows"))
            QSKIP("needs the windows platform plugin (under Wine: with an X display)");
#else
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            QSKIP("needs an X server with a window manager: run it through with-x-server.sh");
#endif
    }
    void init() {
        fx = std::make_unique<test::ProgramFixture>();
        dialogs = test::ScriptedDialogs();
        messages().clear();
    }
    void cleanup() {
        fx.reset();
    }

    void placementSurvivesRestarts() {
        storePlacement(kSaved);
        for (int run = 1; run <= 3; ++run) {
            TForm1 form(dialogs);
            startFramed(form);
            QTRY_COMPARE(form.geometry(), kSaved);
            QVERIFY(form.close());
            QCOMPARE(fx->settingText("WindowState"), std::optional<std::string>("Normal"));
            QCOMPARE(savedPlacement(), kSaved);
        }
    }

    // Closed at once, or while the window manager is still framing it.
    void quickCloseKeepsThePlacement_data() {
        QTest::addColumn<int>("afterMs");
        for (int ms : {0, 20, 100, 300, 1000})
            QTest::newRow(qPrintable(QString::number(ms) + " ms")) << ms;
    }
    void quickCloseKeepsThePlacement() {
        QFETCH(int, afterMs);
        storePlacement(kSaved);
        for (int run = 1; run <= 3; ++run) {
            TForm1 form(dialogs);
            test::startUp(form);
            QTest::qWait(afterMs);
            QVERIFY(form.close());
            QCOMPARE(savedPlacement(), kSaved);
        }
    }

    // Each opened by its command, as the user opens it, three times.
    void secondaryWindowsOpenCentredEveryTime_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("command");
        QTest::newRow("About") << "OmForm"
                               << "Om";
        QTest::newRow("wizard") << "AnalyzeForm"
                                << "btnAnalyze";
        QTest::newRow("information editor") << "ViewEditInfoForm"
                                            << "ShowEditInfo";
        QTest::newRow("hidden-filter editor") << "HiddenFilterEditor"
                                              << "RedigerSkjulFilter";
    }
    void secondaryWindowsOpenCentredEveryTime() {
        QFETCH(QString, window);
        QFETCH(QString, command);
        storePlacement(kSaved);  // off the middle, so "over the main window" shows
        fx->addRegistration(platform::RegRoot::LocalMachine, "A", "Acme", "msiexec /x{a}");
        TForm1 form(dialogs);
        app::createProgramWindows(form);
        startFramed(form);
        form.findChild<QTableView*>("ListView1")->selectRow(0);
        for (int opening = 1; opening <= 3; ++opening) {
            QRect place;
            QTimer::singleShot(0, &form, [&] {
                (void)QTest::qWaitFor([&] {
                    QWidget* modal = QApplication::activeModalWidget();
                    return modal && modal->objectName() == window;
                });
                if (QWidget* modal = QApplication::activeModalWidget()) {
                    place = settledPlace(modal);
                    modal->close();
                }
            });
            if (auto* action = form.findChild<QAction*>(command))
                action->trigger();
            else
                form.findChild<QToolButton*>(command)->click();
            QVERIFY2(qAbs(place.center().x() - screenCentre().x()) <= 1 &&
                         qAbs(place.center().y() - screenCentre().y()) <= 1,
                     qPrintable(QStringLiteral("opening %1 at %2,%3 %4x%5")
                                    .arg(opening)
                                    .arg(place.x())
                                    .arg(place.y())
                                    .arg(place.width())
                                    .arg(place.height())));
        }
    }

    // The update check's answers are the standard message dialog, which
    // stands in the middle of the screen wherever the main window is.
    void updateAnswersStandCentredOnTheScreen() {
        storePlacement(kSaved);
        TForm1 form(dialogs);
        startFramed(form);
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        app::QtDialogs real;
        QRect place;
        QTimer::singleShot(0, &form, [&] {
            (void)QTest::qWaitFor(
                [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); });
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                place = settledPlace(box);
                box->accept();
            }
        });
        real.messageDialog("There is no newer version.", platform::DialogKind::Information,
                           platform::kButtonOk);
        QVERIFY(place.isValid());
        QVERIFY2(qAbs(place.center().x() - screenCentre().x()) <= 1 &&
                     qAbs(place.center().y() - screenCentre().y()) <= 1,
                 qPrintable(QStringLiteral("at %1,%2").arg(place.x()).arg(place.y())));
    }

    void minimisedWindowSavesItsNormalPlace() {
        storePlacement(kSaved);
        TForm1 form(dialogs);
        startFramed(form);
        QTRY_COMPARE(form.geometry(), kSaved);
        form.showMinimized();
        QTRY_VERIFY(form.isMinimized());
        QVERIFY(form.close());
        QCOMPARE(fx->settingText("WindowState"), std::optional<std::string>("Normal"));
        QCOMPARE(savedPlacement(), kSaved);
    }
};

VORNAK_QTEST_MAIN(WindowPlacementTest)
#include "WindowPlacementTest.moc"
