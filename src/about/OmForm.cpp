#include "about/OmForm.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "about/BnVertScrollText.h"

namespace vornak::about {
namespace {

constexpr int kClientWidth = 400;
constexpr int kClientHeight = 328;
// Windows' standard gradient colour of an active caption; Qt's palette has no
// caption colours.
const QColor kCaptionGradient(185, 209, 234);

// A white rectangle with a one-pixel border: the frame around the scrolling text.
class Shape : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.setPen(kCaptionGradient);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setGeometry(left, top, 385, 16);
    return label;
}

}  // namespace

TOmForm::TOmForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("OmForm"));
    setWindowTitle(QStringLiteral(" About Vornak Uninstaller"));
    setFixedSize(kClientWidth, kClientHeight);
    setSizeGripEnabled(false);
    QFont verdana(QStringLiteral("Verdana"));
    verdana.setPixelSize(13);
    verdana.setStyleHint(QFont::SansSerif);
    setFont(verdana);

    auto* shape = new Shape(this);
    shape->setObjectName(QStringLiteral("Shape1"));
    shape->setGeometry(0, 0, 400, 245);

    scrollText_ = new TBnVertScrollText(this);
    scrollText_->setObjectName(QStringLiteral("BnVertScrollText1"));
    scrollText_->setGeometry(1, 1, 398, 243);
    scrollText_->setLines({QStringLiteral("Scrolling text goes here ....")});
    scrollText_->setInterval(50);
    QFont small = verdana;
    small.setPixelSize(9);
    scrollText_->setFont(small);
    scrollText_->setRepeatScroll(true);
    scrollText_->setEnabled(true);
    scrollText_->setAlignment(TAlign::alCenter);
    scrollText_->setStretch(true);
    scrollText_->Loaded();

    QLabel* heading = makeLabel(this, "Label1", QStringLiteral("Thanks To:"), 8, 248);
    QFont bold = verdana;
    bold.setBold(true);
    heading->setFont(bold);
    makeLabel(this, "Label2", QStringLiteral("Everyone who tried the beta and sent a report"), 8,
              264);
    makeLabel(this, "Label3", QStringLiteral("The Qt, SQLite, ICU and libjpeg developers"), 7, 280);

    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("Button1"));
    close->setGeometry(4, 300, 393, 25);
    connect(close, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TOmForm::Button1Click() {
    close();
}

void TOmForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The window's own rectangle is centred, not its frame: the frame is not
    // known at the first opening and is at the next, which would move it.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));
}

}  // namespace vornak::about
