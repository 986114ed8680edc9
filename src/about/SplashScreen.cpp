#include "about/SplashScreen.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdint>

#include "about/JpegPicture.h"
#include "platform/FileSystem.h"

namespace vornak::about {
namespace {

constexpr int kWidth = 500;
constexpr int kHeight = 300;
// Drawing the bar costs far more than listing a registration; a few tens of
// drawings a second look as smooth as one per row.
constexpr qint64 kBarRepaintMs = 30;
// How long a window manager may take to map the window before the fill
// starts all the same.
constexpr qint64 kExposeWaitMs = 3000;

}  // namespace

TSplashScreen::TSplashScreen(const std::string& pictureBytes, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("Splash"));
    setFixedSize(kWidth, kHeight);

    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("SplashScreen"));
    picture_->setGeometry(0, 0, kWidth, kHeight);
    picture_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const JpegResult decoded = decodeJpeg(pictureBytes);
    if (decoded.ok) {
        const JpegPicture& p = decoded.picture;
        const QImage image(p.rgb.data(), p.width, p.height, p.width * 3, QImage::Format_RGB888);
        picture_->setPixmap(QPixmap::fromImage(image));  // deep copy: the bytes go away
        hasPicture_ = true;
    } else {
        pictureError_ = decoded.error;
    }

    auto* dedicated = new QLabel(this);
    dedicated->setObjectName(QStringLiteral("lblDedicatedTo"));
    dedicated->setAttribute(Qt::WA_TranslucentBackground);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(16);
    arial.setBold(true);
    arial.setItalic(true);
    arial.setStyleHint(QFont::SansSerif);
    dedicated->setFont(arial);
    QPalette white = dedicated->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    dedicated->setPalette(white);
    dedicated->setGeometry(24, 256, 0, 18);

    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("ProgressBar1"));
    bar_->setGeometry(0, 283, kWidth, 17);
    bar_->setTextVisible(false);
    bar_->setRange(0, maximum_);
    bar_->setValue(0);
}

std::string TSplashScreen::readPicture() {
    const auto fs = platform::defaultFileSystem();
    return fs->readFile(fs->programFolder() + kSplashPictureName, platform::readLimits::kPicture)
        .value_or(std::string());
}

void TSplashScreen::setMaximum(int maximum) {
    maximum_ = std::max(0, maximum);
    position_ = std::min(position_, maximum_);
    // A bar whose range is 0 to 0 would show Qt's busy animation instead of an
    // empty bar.
    bar_->setRange(0, std::max(1, maximum_));
    showPosition(true);
}

void TSplashScreen::step() {
    position_ = std::min(position_ + 1, maximum_);
    showPosition(false);
}

void TSplashScreen::showPosition(bool always) {
    const int pixels =
        maximum_ > 0 ? static_cast<int>(int64_t{position_} * bar_->width() / maximum_) : 0;
    if (!always && pixels == shownPixels_)
        return;
    shownPixels_ = pixels;
    // The bar would draw itself on every change; it is drawn below, when due.
    bar_->setUpdatesEnabled(false);
    bar_->setValue(position_);
    bar_->setUpdatesEnabled(true);
    if (!isVisible() ||
        (!always && sincePainted_.isValid() && sincePainted_.elapsed() < kBarRepaintMs))
        return;
    bar_->repaint();
    sincePainted_.start();
}

void TSplashScreen::paintAtOnce() {
    // A window manager frames and maps the window in its own time; drawn
    // before that, the picture never reaches the screen, and once the fill
    // has begun nothing draws it again.
    QWindow* window = windowHandle();
    if (window && !window->isExposed()) {
        QElapsedTimer waited;
        waited.start();
        QEventLoop loop;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, &loop, [&] {
            if (window->isExposed() || waited.hasExpired(kExposeWaitMs))
                loop.quit();
        });
        poll.start();
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
    // The drawing goes out to the window system now, not when the loop next runs.
    QGuiApplication::sync();
}

void TSplashScreen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

}  // namespace vornak::about
