#include "about/BnVertScrollText.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QTimer>

namespace vornak::about {
namespace {

const char* const kDefaultLine = "Scrolling text goes here ....";
const char* const kLanguageProperty = "lines";
constexpr int kCreatedWidth = 200;
constexpr int kCreatedHeight = 100;

// The text is drawn without smoothing: every pixel of the text picture is then
// either the key colour or the text colour, and no fringe of half-keyed pixels
// shows around the letters on the background.
QFont textFont(const QFont& font) {
    QFont f = font;
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

}  // namespace

TBnVertScrollText::TBnVertScrollText(QWidget* owner) : QWidget(owner) {
    setObjectName(QStringLiteral("BnVertScrollText"));
    // The frame covers every pixel, so Qt need not clear the area first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    lines_ << QString::fromLatin1(kDefaultLine);
    resize(kCreatedWidth, kCreatedHeight);
    motion_.restart(height());
    timer_ = new QTimer(this);
    timer_->setInterval(interval_);
    connect(timer_, &QTimer::timeout, this, [this] { Tick(); });
    updateTimer();
    relayout();
}

TBnVertScrollText::~TBnVertScrollText() = default;

void TBnVertScrollText::setLines(const QStringList& lines) {
    if (&lines != &lines_)
        lines_ = lines;
    relayout();
}

void TBnVertScrollText::setInterval(int milliseconds) {
    if (milliseconds == interval_)
        return;
    interval_ = milliseconds;
    if (interval_ > 0)
        timer_->setInterval(interval_);
    updateTimer();
}

void TBnVertScrollText::setBkgrndBitmap(const QImage& picture) {
    background_ = QImage();
    if (!picture.isNull()) {
        background_ = QImage(picture.size(), QImage::Format_ARGB32_Premultiplied);
        background_.fill(Qt::transparent);
        QPainter painter(&background_);
        painter.drawImage(0, 0, picture);
    }
    relayout();
}

void TBnVertScrollText::setParentFont(bool on) {
    if (on) {
        setFont(QFont());
        setPalette(QPalette());
    } else {
        QFont own = font();
        own.setResolveMask(QFont::AllPropertiesResolved);
        setFont(own);
    }
}

QColor TBnVertScrollText::fontColor() const {
    return palette().color(QPalette::WindowText);
}

void TBnVertScrollText::setFontColor(const QColor& colour) {
    QPalette own = palette();
    own.setColor(QPalette::WindowText, colour);
    setPalette(own);  // the palette change lays the text out again
}

void TBnVertScrollText::setEnabled(bool on) {
    enabled_ = on;
    if (on)
        motion_.restart(height());
    timerOn_ = on;
    updateTimer();
}

void TBnVertScrollText::setAlignment(TAlign alignment) {
    alignment_ = alignment;
    relayout();
}

void TBnVertScrollText::setStretch(bool on) {
    stretch_ = on;
    relayout();
}

void TBnVertScrollText::Loaded() {
    relayout();
}

void TBnVertScrollText::replaceText(const QStringList& lines) {
    lines_ = lines;
    relayout();
}

bool TBnVertScrollText::timerRunning() const {
    return timer_->isActive();
}

void TBnVertScrollText::updateTimer() {
    if (timerOn_ && interval_ > 0)
        timer_->start();
    else
        timer_->stop();
}

void TBnVertScrollText::relayout() {
    const int w = width();
    const int h = height();
    const QFont font = textFont(this->font());
    const QFontMetrics metrics(font);
    lineHeight_ = metrics.size(Qt::TextSingleLine, QStringLiteral("text")).height();
    const int count = drawnLineCount(static_cast<std::size_t>(lines_.size()));

    const QColor text = fontColor();
    const Rgb key =
        keyColourFor({static_cast<uint8_t>(text.red()), static_cast<uint8_t>(text.green()),
                      static_cast<uint8_t>(text.blue())});
    keyColour_ = QColor(key.red, key.green, key.blue);
    // A picture too large to allocate stays null: the text is then not shown,
    // but it still takes its height in the scroll.
    textPicture_ = QImage(w, lineHeight_ * count, QImage::Format_RGB32);
    keyedText_ = QImage();
    if (!textPicture_.isNull()) {
        textPicture_.fill(keyColour_);
        QPainter painter(&textPicture_);
        painter.setFont(font);
        painter.setPen(QColor(text.rgb()));
        for (int i = 0, y = 0; i < count; ++i, y += lineHeight_) {
            const QString& line = lines_[i];
            const int x = lineLeft(alignment_, w, metrics.horizontalAdvance(line));
            painter.drawText(x, y + metrics.ascent(), line);
        }
        painter.end();
        keyedText_ = textPicture_.convertToFormat(QImage::Format_ARGB32);
        const QRgb keyed = keyColour_.rgb();
        for (int y = 0; y < keyedText_.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(keyedText_.scanLine(y));
            for (int x = 0; x < keyedText_.width(); ++x)
                if (row[x] == keyed)
                    row[x] = 0;
        }
    }
    motion_.setTextHeight(lineHeight_ * count);

    backgroundPicture_ = QImage(w, h, QImage::Format_RGB32);
    if (!backgroundPicture_.isNull()) {
        backgroundPicture_.fill(Qt::white);
        if (!background_.isNull()) {
            QPainter painter(&backgroundPicture_);
            if (stretch_)
                painter.drawImage(QRect(0, 0, w, h), background_);
            else
                painter.drawImage(0, 0, background_);
        }
    }
    frame_ = QImage(w, h, QImage::Format_RGB32);
    if (!frame_.isNull())
        frame_.fill(Qt::white);
    if (parentWidget())
        Paint();
}

void TBnVertScrollText::Tick() {
    if (!motion_.tick(height(), repeatScroll_)) {
        timerOn_ = false;
        updateTimer();
    }
    Paint();
}

void TBnVertScrollText::Paint() {
    if (frame_.isNull())
        return;
    {
        QPainter painter(&frame_);
        painter.drawImage(0, 0, backgroundPicture_);
        if (!keyedText_.isNull())
            painter.drawImage(0, motion_.offset(), keyedText_);
    }
    // The frame goes onto the screen now, not at Qt's next round of updates.
    if (isVisible())
        repaint();
}

bool TBnVertScrollText::event(QEvent* event) {
    if (event->type() == QEvent::DynamicPropertyChange &&
        static_cast<QDynamicPropertyChangeEvent*>(event)->propertyName() == kLanguageProperty) {
        // The language engine hands over the whole text as the property "lines".
        const QVariant value = property(kLanguageProperty);
        if (value.isValid()) {
            setProperty(kLanguageProperty, QVariant());
            replaceText(value.toStringList());
        }
        return true;
    }
    return QWidget::event(event);
}

void TBnVertScrollText::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        relayout();
        event->accept();
    }
}

void TBnVertScrollText::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

void TBnVertScrollText::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, frame_);
}

}  // namespace vornak::about
