#include "IconTable.h"

#include <QAction>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const QColor Ink(0x3a, 0x44, 0x4e);
const QColor Paper(0xf5, 0xf6, 0xf2);
const QColor Blue(0x22, 0x62, 0xb4);
const QColor LightBlue(0x3a, 0x7c, 0xc8);
const QColor Green(0x26, 0x8c, 0x44);
const QColor Red(0xc8, 0x34, 0x2c);
const QColor Steel(0x8a, 0x96, 0xa2);
const QColor Brass(0xd6, 0xa8, 0x3a);

void Round(QPainter& p, const QColor& c) {
    p.setPen(QPen(c.darker(145), 1.2));
    p.setBrush(c);
    p.drawEllipse(QRectF(2, 2, 28, 28));
}

// A disc with one white letter.
void Lettered(QPainter& p, const QColor& c, const QString& letter) {
    Round(p, c);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(20);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(2, 2, 28, 28), Qt::AlignCenter, letter);
}

// The face of a nine-pin serial connector: the shell, its two rows of pins.
void SerialSocket(QPainter& p, const QRectF& r, const QColor& shell) {
    QPainterPath face;
    const double slope = r.width() * 0.12;
    face.moveTo(r.left(), r.top());
    face.lineTo(r.right(), r.top());
    face.lineTo(r.right() - slope, r.bottom());
    face.lineTo(r.left() + slope, r.bottom());
    face.closeSubpath();
    p.setPen(QPen(shell.darker(160), 1.3));
    p.setBrush(shell);
    p.drawPath(face);
    p.setPen(Qt::NoPen);
    p.setBrush(Brass);
    const double pin = r.width() / 9;
    for (int i = 0; i < 5; ++i)
        p.drawEllipse(QPointF(r.left() + pin * (1.9 + i * 1.3), r.top() + r.height() * 0.33), pin * 0.42,
                      pin * 0.42);
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(r.left() + pin * (2.55 + i * 1.3), r.top() + r.height() * 0.68), pin * 0.42,
                      pin * 0.42);
}

// A small round mark in the lower right corner: a tick to join, a cross to part.
void Badge(QPainter& p, bool tick) {
    const QColor c = tick ? Green : Red;
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(c);
    p.drawEllipse(QRectF(17, 17, 14, 14));
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (tick) {
        p.drawPolyline(QPolygonF{QPointF(20.5, 24.5), QPointF(23, 27), QPointF(27.5, 21)});
    } else {
        p.drawLine(QPointF(21, 21), QPointF(27, 27));
        p.drawLine(QPointF(27, 21), QPointF(21, 27));
    }
}

// The connector at the end of a cable that comes down from the top, with a mark to join or to part.
void Cable(QPainter& p, bool joined) {
    p.setPen(QPen(Ink, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(15, 0.5), QPointF(15, 5));
    p.setPen(QPen(Ink.darker(130), 1));
    p.setBrush(Steel);
    p.drawRoundedRect(QRectF(9, 3.5, 12, 4.5), 1.5, 1.5);
    SerialSocket(p, QRectF(1, 8, 28, 14), joined ? Blue : Steel);
    Badge(p, joined);
}

// The port connector over a drop-down field: the choice of the port.
void PortChoice(QPainter& p) {
    SerialSocket(p, QRectF(2, 2, 28, 14), Blue);
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(2.5, 19.5, 27, 10), 2, 2);
    p.setPen(QPen(Steel, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(6, 24.5), QPointF(16, 24.5));
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    p.drawPolygon(QPolygonF{QPointF(20.5, 22.5), QPointF(26.5, 22.5), QPointF(23.5, 26.5)});
}

void Warning(QPainter& p) {
    QPainterPath t;
    t.moveTo(16, 2.5);
    t.lineTo(30.5, 28.5);
    t.lineTo(1.5, 28.5);
    t.closeSubpath();
    p.setPen(QPen(QColor(0xb0, 0x78, 0x10), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0xf6, 0xc0, 0x2c));
    p.drawPath(t);
    p.setPen(QPen(Ink, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 11), QPointF(16, 19.5));
    p.drawPoint(QPointF(16, 24.5));
}

void Error(QPainter& p) {
    Round(p, Red);
    p.setPen(QPen(Qt::white, 3.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11, 11), QPointF(21, 21));
    p.drawLine(QPointF(21, 11), QPointF(11, 21));
}

void Gear(QPainter& p) {
    QPainterPath teeth;
    const QPointF c(16, 16);
    for (int i = 0; i < 8; ++i) {
        QTransform t;
        t.translate(c.x(), c.y());
        t.rotate(i * 45.0);
        teeth.addPolygon(
            t.map(QPolygonF{QPointF(-3, -14), QPointF(3, -14), QPointF(4, -9), QPointF(-4, -9)}));
    }
    teeth.addEllipse(c, 10.5, 10.5);
    teeth.setFillRule(Qt::WindingFill);
    QPainterPath hole;
    hole.addEllipse(c, 4.2, 4.2);
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(Steel);
    p.drawPath(teeth.simplified().subtracted(hole));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawEllipse(QRectF(9, 8, 8, 5));
}

// One seven-segment digit "8" lit green on a dark glass.
void SegmentDigit(QPainter& p) {
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(QColor(0x1c, 0x24, 0x22));
    p.drawRoundedRect(QRectF(4, 1.5, 24, 29), 3, 3);
    const double l = 10, r = 22, t = 6, m = 16, b = 26, w = 2.6;
    auto bar = [&](QPointF a, QPointF z) {
        p.setPen(QPen(QColor(0x5c, 0xf0, 0x7a), w, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(a, z);
    };
    bar({l + 1.5, t}, {r - 1.5, t});
    bar({l + 1.5, m}, {r - 1.5, m});
    bar({l + 1.5, b}, {r - 1.5, b});
    bar({l, t + 1.5}, {l, m - 1.5});
    bar({r, t + 1.5}, {r, m - 1.5});
    bar({l, m + 1.5}, {l, b - 1.5});
    bar({r, m + 1.5}, {r, b - 1.5});
}

void Magnifier(QPainter& p) {
    p.setPen(QPen(Ink, 4.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20, 20), QPointF(28.5, 28.5));
    p.setPen(QPen(Blue, 2.6));
    p.setBrush(QColor(0xdc, 0xea, 0xfa));
    p.drawEllipse(QRectF(2.5, 2.5, 19, 19));
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(13);
    p.setFont(f);
    p.setPen(Blue.darker(130));
    p.drawText(QRectF(2.5, 2.5, 19, 19), Qt::AlignCenter, QStringLiteral("1"));
}

void Door(QPainter& p) {
    p.setPen(QPen(Ink, 1.3));
    p.setBrush(Paper);
    p.drawRect(QRectF(3, 2, 17, 28));
    p.setBrush(QColor(0x9a, 0x68, 0x3c));
    QPainterPath leaf;
    leaf.moveTo(3, 2);
    leaf.lineTo(14, 5);
    leaf.lineTo(14, 30);
    leaf.lineTo(3, 30);
    leaf.closeSubpath();
    p.drawPath(leaf);
    p.setPen(Qt::NoPen);
    p.setBrush(Brass);
    p.drawEllipse(QRectF(10.5, 16, 2.4, 2.4));
    p.setBrush(Red);
    QPainterPath arrow;
    arrow.moveTo(31, 17);
    arrow.lineTo(24, 10);
    arrow.lineTo(24, 14);
    arrow.lineTo(17, 14);
    arrow.lineTo(17, 20);
    arrow.lineTo(24, 20);
    arrow.lineTo(24, 24);
    arrow.closeSubpath();
    p.drawPath(arrow);
}

bool Draw(QPainter& p, int n) {
    switch (n) {
    case img::StopMeasure:
        Round(p, Red);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(10.5, 10.5, 11, 11), 1.5, 1.5);
        return true;
    case img::StartMeasure: {
        Round(p, Green);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF{QPointF(12.5, 9), QPointF(23.5, 16), QPointF(12.5, 23)});
        return true;
    }
    case img::Connect:
        Cable(p, true);
        return true;
    case img::Disconnect:
        Cable(p, false);
        return true;
    case img::Settings:
        Gear(p);
        return true;
    case img::ComPort:
        PortChoice(p);
        return true;
    case img::FindFirst:
        Magnifier(p);
        return true;
    case img::IndicatorStyle:
        SegmentDigit(p);
        return true;
    case img::Exit:
        Door(p);
        return true;
    case img::About:
        Lettered(p, Blue, QStringLiteral("i"));
        return true;
    case img::Help:
        Lettered(p, LightBlue, QStringLiteral("?"));
        return true;
    default:
        return false;
    }
}

} // namespace

namespace {
// The picture in 16, 24 and 32 pixels; a null icon when `draw` knows no picture.
template <class Drawer> QIcon Render(Drawer draw) {
    QIcon icon;
    for (int size : {16, 24, 32}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        if (!draw(p))
            return QIcon();
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}
} // namespace

QIcon TarvoIcon(int n) {
    return Render([n](QPainter& p) { return Draw(p, n); });
}

QIcon MessageKindIcon(int kind) {
    return Render([kind](QPainter& p) {
        switch (kind) {
        case 0:
            Warning(p);
            return true;
        case 1:
            Error(p);
            return true;
        case 2:
            Lettered(p, Blue, QStringLiteral("i"));
            return true;
        case 3:
            Lettered(p, LightBlue, QStringLiteral("?"));
            return true;
        default:
            return false;
        }
    });
}

void SetActionImage(QAction* action, int n) {
    action->setIcon(TarvoIcon(n));
    action->setProperty("imageIndex", n);
}

int ActionImage(const QAction* action) {
    const QVariant v = action->property("imageIndex");
    return v.isValid() ? v.toInt() : -1;
}
