// Where the main window comes back after a restart, under a real window manager
// (run through with-x-server.sh): the saved placement and the restored one are
// the same outer frame, so the window never creeps.
#include <QGuiApplication>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "app/MainWindow.h"
#include "language/MessageCatalogue.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using vornak::app::TForm1;

namespace {

const QRect kSaved(120, 90, 520, 380);

}  // namespace

class WindowPlacementTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::ProgramFixture> fx;
    test::ScriptedDialogs dialogs;

    void storePlacement(const QRect& outer) {
        fx->setSettingFlag("grid", 0);
        fx->setSetting("WindowState", "Normal");
        fx->setSetting("WindowLeft", std::to_string(outer.x()));
        fx->setSetting("WindowTop", std::to_string(outer.y()));
        fx->setSetting("WindowWidth", std::to_string(outer.width()));
        fx->setSetting("WindowHeight", std::to_string(outer.height()));
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
            QTRY_COMPARE(form.frameGeometry(), kSaved);
            QVERIFY(form.close());
            QCOMPARE(fx->settingText("WindowState"), std::optional<std::string>("Normal"));
            QCOMPARE(savedPlacement(), kSaved);
        }
    }

    void minimisedWindowSavesItsNormalPlace() {
        storePlacement(kSaved);
        TForm1 form(dialogs);
        startFramed(form);
        QTRY_COMPARE(form.frameGeometry(), kSaved);
        form.showMinimized();
        QTRY_VERIFY(form.isMinimized());
        QVERIFY(form.close());
        QCOMPARE(fx->settingText("WindowState"), std::optional<std::string>("Normal"));
        QCOMPARE(savedPlacement(), kSaved);
    }
};

VORNAK_QTEST_MAIN(WindowPlacementTest)
#include "WindowPlacementTest.moc"
