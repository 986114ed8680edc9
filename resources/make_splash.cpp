// Draws the splash screen's picture, Splash.jpg: 500 x 300 pixels, the title and
// the version in large pale letters on green, a grid of small squares at the
// lower left, written as a baseline JPEG with three components.
//   build/vornak_make_splash resources/Splash.jpg
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <cstdio>
#include <vector>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace {

constexpr int kWidth = 500;
constexpr int kHeight = 300;
const QColor kPale(234, 247, 228);

QImage drawPicture() {
    QImage image(kWidth, kHeight, QImage::Format_RGB888);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient green(0, 0, kWidth, kHeight);
    green.setColorAt(0.0, QColor(46, 139, 62));
    green.setColorAt(1.0, QColor(16, 74, 34));
    p.fillRect(image.rect(), green);

    // The grid fades towards the middle of the picture.
    constexpr int kCell = 9;
    constexpr int kPitch = 13;
    for (int row = 0; row < 8; ++row) {
        for (int column = 0; column < 12; ++column) {
            const int x = 14 + column * kPitch;
            const int y = 170 + row * kPitch;
            const int alpha = 30 + 12 * row - 8 * column;
            if (alpha <= 0)
                continue;
            p.fillRect(x, y, kCell, kCell, QColor(200, 240, 200, alpha));
        }
    }

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    p.setPen(kPale);

    font.setPixelSize(40);
    p.setFont(font);
    p.drawText(QRect(0, 28, kWidth, 56), Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("Vornak Uninstaller"));

    font.setPixelSize(84);
    p.setFont(font);
    p.drawText(QRect(0, 88, kWidth - 36, 100), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("2.1"));

    font.setPixelSize(36);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 8);
    p.setFont(font);
    p.drawText(QRect(0, 190, kWidth - 30, 50), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("BETA"));
    p.end();
    return image;
}

bool writeBaselineJpeg(const QImage& image, const char* path) {
    FILE* out = std::fopen(path, "wb");
    if (!out)
        return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);  // a failure here may end the tool
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = static_cast<JDIMENSION>(image.width());
    cinfo.image_height = static_cast<JDIMENSION>(image.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);  // baseline, YCbCr: three components
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(image.width()) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const uchar* line = image.constScanLine(static_cast<int>(cinfo.next_scanline));
        std::copy(line, line + row.size(), row.begin());
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.jpg\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (!writeBaselineJpeg(drawPicture(), argv[1])) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
