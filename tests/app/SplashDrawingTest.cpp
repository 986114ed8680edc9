// The splash screen under a real window manager (run through with-x-server.sh):
// once the main block has shown it and asked for it to be drawn, the picture
// is on the screen, though the fill that follows runs no message loop.
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <filesystem>
#include <fstream>

#include "QtTestMain.h"
#include "about/SplashScreen.h"

using vornak::about::TSplashScreen;

namespace {

std::string shippedPicture() {
    std::ifstream in(std::filesystem::path(std::getenv("VORNAK_PROGRAM_DIR")) /
                         vornak::about::kSplashPictureName,
                     std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Share of sample points where the screen shows the picture's colour.
double shareShown(const QImage& picture, const QImage& screen) {
    int same = 0, all = 0;
    for (int y = 5; y < 280; y += 11) {
        for (int x = 5; x < 500; x += 13) {
            const QColor a = picture.pixelColor(x, y), b = screen.pixelColor(x, y);
            same +=
                qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) <=
                48;
            ++all;
        }
    }
    return double(same) / all;
}

}  // namespace

class SplashDrawingTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            QSKIP("needs an X server with a window manager: run it through with-x-server.sh");
    }

    // Each start is a race with the window manager: several starts in a row.
    void pictureIsOnTheScreenBeforeTheFill() {
        const std::string bytes = shippedPicture();
        for (int start = 1; start <= 8; ++start) {
            TSplashScreen splash(bytes);
            QVERIFY(splash.hasPicture());
            const QImage picture = splash.findChild<QLabel*>("SplashScreen")
                                       ->pixmap()
                                       .toImage()
                                       .convertToFormat(QImage::Format_RGB32);
            splash.show();
            splash.paintAtOnce();
            // From here on the fill keeps the loop busy; the bar moves as it goes.
            splash.setMaximum(3000);
            for (int i = 0; i < 3000; ++i)
                splash.step();
            const QPoint at = splash.geometry().topLeft();  // no frame
            const QImage shown = QGuiApplication::primaryScreen()
                                     ->grabWindow(0, at.x(), at.y(), 500, 300)
                                     .toImage()
                                     .convertToFormat(QImage::Format_RGB32);
            const double share = shareShown(picture, shown);
            QVERIFY2(
                share > 0.9,
                qPrintable(
                    QStringLiteral("start %1: %2 of the picture shown").arg(start).arg(share)));
        }
    }
};

VORNAK_QTEST_MAIN(SplashDrawingTest)
#include "SplashDrawingTest.moc"
