// Saves what an X display shows as a PNG: vornak_grab_screen <file.png>, with
// DISPLAY naming the display. scripts/screenshot-windows.sh uses it to show the
// Windows window program as Wine draws it.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vornak_grab_screen FILE.png\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication application(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "vornak_grab_screen: cannot save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
