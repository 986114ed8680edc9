#include "app/Icons.h"

#include <QPainter>
#include <QPainterPath>

namespace vornak::app {
namespace {

// Every picture is drawn on a 16-unit square and scaled to the size asked for.
class Canvas {
public:
    explicit Canvas(int size) : pixmap_(size, size) {
        pixmap_.fill(Qt::transparent);
        painter_.begin(&pixmap_);
        painter_.setRenderHint(QPainter::Antialiasing);
        painter_.scale(size / 16.0, size / 16.0);
    }
    QPainter& p() { return painter_; }
    QPixmap finish() {
        painter_.end();
        return pixmap_;
    }

private:
    QPixmap pixmap_;
    QPainter painter_;
};

QPen pen(const QColor& color, double width) {
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void tick(QPainter& p) {
    p.setPen(pen(QColor(0, 140, 0), 2.6));
    QPainterPath path;
    path.moveTo(2.5, 8.5);
    path.lineTo(6.2, 12.5);
    path.lineTo(13.5, 3.5);
    p.drawPath(path);
}

void cross(QPainter& p, const QColor& color, double width) {
    p.setPen(pen(color, width));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

void globe(QPainter& p) {
    p.setPen(pen(QColor(20, 60, 140), 1.0));
    p.setBrush(QColor(90, 150, 230));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(QColor(230, 240, 255), 0.9));
    p.drawEllipse(QRectF(5, 1.5, 6, 13));
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
    p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
}

void box(QPainter& p) {
    p.setPen(pen(QColor(120, 80, 30), 0.9));
    p.setBrush(QColor(220, 170, 100));
    p.drawRect(QRectF(2, 6, 10, 8));
    p.setBrush(QColor(240, 200, 130));
    QPolygonF lid;
    lid << QPointF(2, 6) << QPointF(4.5, 3) << QPointF(14.5, 3) << QPointF(12, 6);
    p.drawPolygon(lid);
    QPolygonF side;
    side << QPointF(12, 6) << QPointF(14.5, 3) << QPointF(14.5, 11) << QPointF(12, 14);
    p.setBrush(QColor(190, 140, 80));
    p.drawPolygon(side);
}

void arrowOut(QPainter& p, const QColor& color) {
    p.setPen(pen(color, 2.0));
    p.drawLine(QPointF(7, 10), QPointF(7, 1.8));
    p.drawLine(QPointF(4.5, 4.3), QPointF(7, 1.8));
    p.drawLine(QPointF(9.5, 4.3), QPointF(7, 1.8));
}

void drawImage(QPainter& p, int index) {
    switch (index) {
        case kImageExit: {
            p.setPen(pen(QColor(90, 60, 30), 1.0));
            p.setBrush(QColor(170, 120, 70));
            p.drawRect(QRectF(2, 1.5, 7, 13));
            p.setBrush(QColor(240, 220, 120));
            p.drawEllipse(QRectF(6.5, 8, 1.5, 1.5));
            p.setPen(pen(QColor(200, 30, 30), 1.8));
            p.drawLine(QPointF(9, 8), QPointF(14.5, 8));
            p.drawLine(QPointF(12, 5.5), QPointF(14.5, 8));
            p.drawLine(QPointF(12, 10.5), QPointF(14.5, 8));
            break;
        }
        case kImageDelete: {
            p.setPen(pen(QColor(70, 70, 70), 1.0));
            p.setBrush(QColor(190, 190, 200));
            p.drawRect(QRectF(3.5, 4.5, 9, 10));
            p.drawRect(QRectF(2, 2.5, 12, 2));
            p.drawRect(QRectF(6, 1, 4, 1.5));
            p.setPen(pen(QColor(90, 90, 100), 0.9));
            for (double x : {6.0, 8.0, 10.0}) p.drawLine(QPointF(x, 6.5), QPointF(x, 13));
            break;
        }
        case kImageWebSite:
            globe(p);
            break;
        case kImageUninstall:
            box(p);
            arrowOut(p, QColor(200, 30, 30));
            break;
        case kImageUpdateCheck: {
            globe(p);
            p.setPen(pen(QColor(0, 120, 0), 2.0));
            p.drawLine(QPointF(12, 7), QPointF(12, 15));
            p.drawLine(QPointF(9.5, 12.5), QPointF(12, 15));
            p.drawLine(QPointF(14.5, 12.5), QPointF(12, 15));
            break;
        }
        case kImageRefresh: {
            p.setPen(pen(QColor(0, 130, 40), 1.8));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(2.5, 2.5, 11, 11), 30 * 16, 150 * 16);
            p.drawArc(QRectF(2.5, 2.5, 11, 11), 210 * 16, 150 * 16);
            p.setBrush(QColor(0, 130, 40));
            QPolygonF head1;
            head1 << QPointF(1, 7) << QPointF(5, 7) << QPointF(3, 10);
            QPolygonF head2;
            head2 << QPointF(11, 9) << QPointF(15, 9) << QPointF(13, 6);
            p.drawPolygon(head1);
            p.drawPolygon(head2);
            break;
        }
        case kImageHelp: {
            p.setPen(pen(QColor(20, 60, 150), 1.0));
            p.setBrush(QColor(50, 110, 210));
            p.drawEllipse(QRectF(1, 1, 14, 14));
            QFont font;
            font.setPixelSize(11);
            font.setBold(true);
            p.setFont(font);
            p.setPen(Qt::white);
            p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
            break;
        }
        case kImageAdware: {
            p.setPen(pen(QColor(120, 90, 0), 1.0));
            p.setBrush(QColor(250, 200, 30));
            QPolygonF triangle;
            triangle << QPointF(8, 1) << QPointF(15, 14.5) << QPointF(1, 14.5);
            p.drawPolygon(triangle);
            p.setPen(pen(Qt::black, 1.8));
            p.drawLine(QPointF(8, 5.5), QPointF(8, 10));
            p.drawPoint(QPointF(8, 12.6));
            break;
        }
        case kImageDanishFlag: {
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(200, 16, 46));
            p.drawRect(QRectF(0, 2, 16, 12));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(5, 2, 2, 12));
            p.drawRect(QRectF(0, 7, 16, 2));
            break;
        }
        case kImageDeadEntry: {
            p.setPen(pen(QColor(90, 90, 90), 1.0));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(2.5, 1.5, 9, 12));
            p.setPen(pen(QColor(150, 150, 150), 0.8));
            for (double y : {4.5, 6.5, 8.5}) p.drawLine(QPointF(4.5, y), QPointF(9.5, y));
            p.save();
            p.translate(4, 4);
            p.scale(0.75, 0.75);
            cross(p, QColor(210, 20, 20), 2.4);
            p.restore();
            break;
        }
        case kImageGridLines: {
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(QPen(QColor(60, 60, 60), 1.0));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(1, 2, 14, 12));
            for (int y : {5, 8, 11}) p.drawLine(1, y, 15, y);
            p.drawLine(6, 2, 6, 14);
            break;
        }
        default:
            break;
    }
}

}  // namespace

QPixmap drawMenuImage(int index, int size) {
    Canvas canvas(size);
    drawImage(canvas.p(), index);
    return canvas.finish();
}

const std::vector<QIcon>& menuImages() {
    static const std::vector<QIcon> images = [] {
        std::vector<QIcon> list;
        for (int i = 0; i < kMenuImageCount; ++i) list.emplace_back(drawMenuImage(i));
        return list;
    }();
    return images;
}

const std::vector<QIcon>& statusImages() {
    static const std::vector<QIcon> images = [] {
        Canvas ordinary(16);
        tick(ordinary.p());
        Canvas dead(16);
        cross(dead.p(), QColor(220, 20, 20), 2.6);
        return std::vector<QIcon>{QIcon(ordinary.finish()), QIcon(dead.finish())};
    }();
    return images;
}

QPixmap buttonPicture(ButtonPicture picture, int size) {
    switch (picture) {
        case kPictureUninstall:
            return drawMenuImage(kImageUninstall, size);
        case kPictureDelete:
            return drawMenuImage(kImageDelete, size);
        case kPictureHelp:
            return drawMenuImage(kImageHelp, size);
        case kPictureAnalyze: {
            Canvas canvas(size);
            QPainter& p = canvas.p();
            p.setPen(pen(QColor(60, 60, 60), 1.2));
            p.setBrush(QColor(200, 230, 255, 200));
            p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
            p.setPen(pen(QColor(110, 70, 30), 2.6));
            p.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
            return canvas.finish();
        }
    }
    return {};
}

}  // namespace vornak::app
