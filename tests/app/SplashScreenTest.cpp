// The splash screen: its window and picture, a picture file it cannot read,
// and its bar during the main window's first fill of the list.
#include <QLabel>
#include <QProgressBar>
#include <filesystem>
#include <fstream>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "about/SplashScreen.h"
#include "app/MainWindow.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using vornak::about::TSplashScreen;
using vornak::platform::RegRoot;

class SplashScreenTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::ProgramFixture> fx;

    void placePicture(const std::string& bytes) {
        std::ofstream(fx->programHost + "/" + about::kSplashPictureName, std::ios::binary) << bytes;
    }
    std::string shippedPicture() {
        std::ifstream in(
            std::filesystem::path(std::getenv("VORNAK_PROGRAM_DIR")) / about::kSplashPictureName,
            std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private slots:
    void init() { fx = std::make_unique<test::ProgramFixture>(); }
    void cleanup() { fx.reset(); }

    void borderlessWindowWithThePicture() {
        placePicture(shippedPicture());
        TSplashScreen splash(TSplashScreen::readPicture());
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(splash.size(), QSize(500, 300));
        QVERIFY2(splash.hasPicture(), splash.pictureError().c_str());
        auto* picture = splash.findChild<QLabel*>("SplashScreen");
        QCOMPARE(picture->geometry(), QRect(0, 0, 500, 300));
        QCOMPARE(picture->pixmap().size(), QSize(500, 300));
        auto* bar = splash.findChild<QProgressBar*>("ProgressBar1");
        QCOMPARE(bar->geometry(), QRect(0, 283, 500, 17));
        QCOMPARE(bar->maximum(), 100);
        QCOMPARE(bar->value(), 0);
    }

    void unreadablePictureLeavesTheSplashWithoutIt() {
        const std::string good = shippedPicture();
        placePicture(good.substr(0, good.size() / 3));
        TSplashScreen splash(TSplashScreen::readPicture());
        QVERIFY(!splash.hasPicture());
        QVERIFY(splash.findChild<QLabel*>("SplashScreen")->pixmap().isNull());
        splash.show();
        splash.paintAtOnce();
        std::filesystem::remove(fx->programHost + "/" + about::kSplashPictureName);
        QVERIFY(!TSplashScreen(TSplashScreen::readPicture()).hasPicture());
    }

    void barFollowsTheFirstFill() {
        const std::string live = fx->addProgramFile("Program Files/Live/uninst.exe");
        fx->addRegistration(RegRoot::LocalMachine, "1", "Acme Editor", live);
        fx->addRegistration(RegRoot::LocalMachine, "2", "No Command", "");
        fx->addRegistration(RegRoot::CurrentUser, "3", "Zip Tool", live);
        TSplashScreen splash({});
        splash.show();
        test::ScriptedDialogs dialogs;
        app::TForm1 form(
            dialogs, {[&](int maximum) { splash.setMaximum(maximum); }, [&] { splash.step(); }});
        // Every key counts toward the end; only listed registrations move the bar.
        QCOMPARE(splash.maximum(), 3);
        QCOMPARE(splash.position(), 2);
        auto* bar = splash.findChild<QProgressBar*>("ProgressBar1");
        QCOMPARE(bar->maximum(), 3);
        QCOMPARE(bar->value(), 2);
        // With nothing to read the bar stays empty (Qt would animate a 0..0 bar).
        splash.setMaximum(0);
        QVERIFY(bar->maximum() > bar->minimum());
        QCOMPARE(bar->value(), 0);
    }

    // A long fill draws the bar no more often than it has pixels to fill,
    // and the bar still ends where the fill ends.
    void longFillDrawsTheBarSeldom() {
        TSplashScreen splash({});
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        auto* bar = splash.findChild<QProgressBar*>("ProgressBar1");
        struct PaintCount : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* e) override {
                paints += e->type() == QEvent::Paint;
                return false;
            }
        } count;
        bar->installEventFilter(&count);
        const int rows = 20 * bar->width();
        splash.setMaximum(rows);
        for (int i = 0; i < rows; ++i)
            splash.step();
        QVERIFY2(count.paints >= 1 && count.paints <= bar->width() + 1,
                 qPrintable(QString::number(count.paints)));
        QCOMPARE(bar->value(), rows);
        bar->removeEventFilter(&count);
    }
};

VORNAK_QTEST_MAIN(SplashScreenTest)
#include "SplashScreenTest.moc"
