// The scrolling text control on its own: the pictures it renders, where its
// lines land in them, and how its offset moves from tick to tick.
#include <QFontMetrics>
#include <memory>

#include "QtTestMain.h"
#include "about/BnVertScrollText.h"

using vornak::about::TAlign;
using vornak::about::TBnVertScrollText;

namespace {

const QColor kBlue(0, 0, 255);
const QColor kDarkGreen(0, 128, 0);

int firstInkRow(const QImage& image, QColor blank) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != blank)
                return y;
    return -1;
}

// Whether every pixel of `part` is the pixel of `whole` `shift` columns further right.
bool isShiftedPart(const QImage& part, const QImage& whole, int shift) {
    for (int y = 0; y < part.height(); ++y)
        for (int x = 0; x < part.width(); ++x) {
            const int wx = x + shift;
            const QColor expected =
                wx >= 0 && wx < whole.width() ? whole.pixelColor(wx, y) : whole.pixelColor(0, 0);
            if (part.pixelColor(x, y) != expected)
                return false;
        }
    return true;
}

}  // namespace

class ScrollTextTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> host;

    TBnVertScrollText* make(int width, int height, const QStringList& lines, TAlign alignment) {
        auto* text = new TBnVertScrollText(host.get());
        text->setInterval(1000000);  // the test ticks by hand
        text->setGeometry(0, 0, width, height);
        text->setLines(lines);
        text->setAlignment(alignment);
        text->setEnabled(true);  // from the bottom edge of its final size
        text->Loaded();
        return text;
    }
    int advance(TBnVertScrollText* text, const QString& line) {
        QFont font = text->font();
        font.setStyleStrategy(QFont::NoAntialias);
        return QFontMetrics(font).horizontalAdvance(line);
    }

  private slots:
    void init() { host = std::make_unique<QWidget>(); }
    void cleanup() { host.reset(); }

    void defaultsAtCreation() {
        auto* text = new TBnVertScrollText(host.get());
        QCOMPARE(text->size(), QSize(200, 100));
        QCOMPARE(text->lines(), QStringList{"Scrolling text goes here ...."});
        QCOMPARE(text->interval(), 50);
        QVERIFY(text->bkgrndBitmap().isNull());
        QVERIFY(text->parentFont());
        QVERIFY(text->repeatScroll());
        QVERIFY(text->enabled());
        QCOMPARE(text->alignment(), TAlign::alLeft);
        QVERIFY(text->stretch());
        QCOMPARE(text->scrollOffset(), 100);
        QVERIFY(text->timerRunning());
        // A zero interval stops the ticks instead of firing at every turn of the loop.
        text->setInterval(0);
        QVERIFY(!text->timerRunning());
        text->setInterval(30);
        QVERIFY(text->timerRunning());
    }

    void keyColourFillsTheTextPictureAndIsLeftOutOfTheFrame() {
        auto* text = make(200, 40, {"Wide Mm"}, TAlign::alLeft);
        for (const auto& [ink, key] :
             {std::pair{QColor(Qt::black), kBlue}, std::pair{kBlue, kDarkGreen},
              std::pair{kDarkGreen, kBlue}}) {
            text->setFontColor(ink);
            QCOMPARE(text->keyColor(), key);
            const QImage& picture = text->textPicture();
            QCOMPARE(picture.pixelColor(picture.width() - 1, 0), key);
            int inkPixels = 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x) {
                    const QColor c = picture.pixelColor(x, y);
                    QVERIFY(c == key || c == ink);
                    inkPixels += c == ink;
                }
            QVERIFY(inkPixels > 0);
            // In the frame the key is gone: only the white background and the ink.
            for (int i = 0; i < 40; ++i)
                text->Tick();
            const QImage frame = text->framePicture();
            int frameInk = 0;
            for (int y = 0; y < frame.height(); ++y)
                for (int x = 0; x < frame.width(); ++x) {
                    const QColor c = frame.pixelColor(x, y);
                    QVERIFY(c == QColor(Qt::white) || c == ink);
                    frameInk += c == ink;
                }
            QCOMPARE(frameInk, inkPixels);
            text->setEnabled(true);
        }
    }

    void centredLinesGoToTheEvenPixel() {
        const QString line = "Centre";
        for (const auto& [freeWidth, left] : {std::pair{5, 2}, std::pair{7, 4}}) {
            auto* probe = make(10, 10, {line}, TAlign::alLeft);
            const int width = advance(probe, line) + freeWidth;
            auto* flush = make(width, 20, {line}, TAlign::alLeft);
            auto* centred = make(width, 20, {line}, TAlign::alCenter);
            QVERIFY(isShiftedPart(centred->textPicture(), flush->textPicture(), -left));
        }
    }

    void lineWiderThanTheControl() {
        const QString line = "A line far wider than this narrow control";
        auto* probe = make(10, 10, {line}, TAlign::alLeft);
        const int full = advance(probe, line);
        const QImage whole = make(full + 10, 20, {line}, TAlign::alLeft)->textPicture();
        const int narrow = 61;
        // Cut at the right edge when aligned left...
        QVERIFY(isShiftedPart(make(narrow, 20, {line}, TAlign::alLeft)->textPicture(), whole, 0));
        // ... and starting left of the control otherwise.
        QVERIFY(isShiftedPart(make(narrow, 20, {line}, TAlign::alRight)->textPicture(), whole,
                              full - narrow));
        const int centreLeft = vornak::about::lineLeft(TAlign::alCenter, narrow, full);
        QVERIFY(centreLeft < 0);
        QVERIFY(isShiftedPart(make(narrow, 20, {line}, TAlign::alCenter)->textPicture(), whole,
                              -centreLeft));
    }

    void offsetStopsAndRestartsFromTheBottom() {
        auto* text = make(120, 50, {"one", "two"}, TAlign::alLeft);
        QCOMPARE(text->scrollOffset(), 50);
        QCOMPARE(text->textHeight(), 2 * text->lineHeight());
        const int inkTop = firstInkRow(text->textPicture(), text->keyColor());
        for (int i = 0; i < 20; ++i)
            text->Tick();
        QCOMPARE(text->scrollOffset(), 30);
        QCOMPARE(firstInkRow(text->framePicture(), Qt::white), 30 + inkTop);

        // Without repeat: one tick after the text has left the top, then it stays.
        text->setRepeatScroll(false);
        while (text->scrollOffset() + text->textHeight() >= 0)
            text->Tick();
        QVERIFY(text->timerRunning());
        const int gone = text->scrollOffset();
        text->Tick();
        QCOMPARE(text->scrollOffset(), gone - 1);
        QVERIFY(!text->timerRunning());
        QCOMPARE(firstInkRow(text->framePicture(), Qt::white), -1);
        text->setEnabled(false);
        text->setEnabled(true);
        QCOMPARE(text->scrollOffset(), 50);
        QVERIFY(text->timerRunning());
    }

    void emptyAndOverlongTexts() {
        auto* empty = make(120, 10, {}, TAlign::alCenter);
        QCOMPARE(empty->textHeight(), 0);
        QCOMPARE(empty->textPicture().height(), 0);
        empty->Tick();  // nothing to draw, and nothing breaks
        QCOMPARE(empty->framePicture().pixelColor(0, 0), QColor(Qt::white));

        QStringList many;
        for (int i = 0; i < 40000; ++i)
            many << QString();
        auto* tall = make(1, 10, many, TAlign::alLeft);
        QCOMPARE(tall->textHeight(), 32767 * tall->lineHeight());
    }

    void backgroundStretchedOrAtItsOwnSize() {
        QImage red(10, 10, QImage::Format_RGB32);
        red.fill(Qt::red);
        auto* text = make(60, 30, {}, TAlign::alLeft);
        text->setBkgrndBitmap(red);
        QCOMPARE(text->backgroundPicture().pixelColor(59, 29), QColor(Qt::red));
        text->setStretch(false);
        QCOMPARE(text->backgroundPicture().pixelColor(59, 29), QColor(Qt::white));
        QCOMPARE(text->backgroundPicture().pixelColor(9, 9), QColor(Qt::red));
    }
};

VORNAK_QTEST_MAIN(ScrollTextTest)
#include "ScrollTextTest.moc"
