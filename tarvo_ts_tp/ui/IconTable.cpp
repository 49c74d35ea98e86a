#include "IconTable.h"

#include <QAction>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const QColor Blue(0x1f, 0x5f, 0xb0);
const QColor Green(0x2e, 0x8b, 0x3a);
const QColor Red(0xc0, 0x30, 0x30);
const QColor Grey(0x55, 0x5f, 0x6a);
const QColor Amber(0xd8, 0x8a, 0x1a);

void Disc(QPainter& p, const QColor& c, const QRectF& r) {
    p.setPen(QPen(c.darker(140), 1.2));
    p.setBrush(c);
    p.drawEllipse(r);
}

void Letter(QPainter& p, const QString& s, const QRectF& r, const QColor& c = Qt::white) {
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(int(r.height() * 0.7));
    p.setFont(f);
    p.setPen(c);
    p.drawText(r, Qt::AlignCenter, s);
}

// A sheet with an arrow into it (read) or out of it (write).
void Transfer(QPainter& p, bool write, const QColor& arrow) {
    p.setPen(QPen(Grey, 1.5));
    p.setBrush(QColor(0xf4, 0xf4, 0xf0));
    p.drawRect(QRectF(6, 12, 20, 17));
    p.setPen(QPen(Grey, 1));
    for (int y = 17; y <= 25; y += 4)
        p.drawLine(QPointF(9, y), QPointF(23, y));
    p.setPen(Qt::NoPen);
    p.setBrush(arrow);
    QPainterPath a;
    if (write) {
        a.moveTo(16, 2);
        a.lineTo(24, 10);
        a.lineTo(19, 10);
        a.lineTo(19, 15);
        a.lineTo(13, 15);
        a.lineTo(13, 10);
        a.lineTo(8, 10);
    } else {
        a.moveTo(16, 16);
        a.lineTo(24, 8);
        a.lineTo(19, 8);
        a.lineTo(19, 2);
        a.lineTo(13, 2);
        a.lineTo(13, 8);
        a.lineTo(8, 8);
    }
    a.closeSubpath();
    p.drawPath(a);
}

// A plug and a socket, joined or apart.
void Plug(QPainter& p, bool joined) {
    const double gap = joined ? 0 : 5;
    const QColor c = joined ? Green : Red;
    p.setPen(QPen(c.darker(150), 1.2));
    p.setBrush(c);
    p.drawRoundedRect(QRectF(4, 11, 10 - gap / 2, 10), 2, 2);
    p.drawRoundedRect(QRectF(18 + gap / 2, 11, 10 - gap / 2, 10), 2, 2);
    p.setPen(QPen(Grey, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0.5, 16), QPointF(4, 16));
    p.drawLine(QPointF(28 + gap / 2, 16), QPointF(31.5, 16));
    p.setPen(QPen(QColor(0xd0, 0xb0, 0x40), 2));
    p.drawLine(QPointF(14 - gap / 2, 13.5), QPointF(18 + gap / 2 - (joined ? 0 : 3), 13.5));
    p.drawLine(QPointF(14 - gap / 2, 18.5), QPointF(18 + gap / 2 - (joined ? 0 : 3), 18.5));
}

void Draw(QPainter& p, int n) {
    switch (n) {
    case img::Exit: {
        p.setPen(QPen(Grey, 1.5));
        p.setBrush(QColor(0xa0, 0x70, 0x40));
        p.drawRect(QRectF(5, 3, 14, 26));
        p.setBrush(Amber);
        p.drawEllipse(QRectF(15, 15, 2.5, 2.5));
        p.setPen(Qt::NoPen);
        p.setBrush(Red);
        QPainterPath a;
        a.moveTo(31, 16);
        a.lineTo(24, 9);
        a.lineTo(24, 13);
        a.lineTo(18, 13);
        a.lineTo(18, 19);
        a.lineTo(24, 19);
        a.lineTo(24, 23);
        a.closeSubpath();
        p.drawPath(a);
        break;
    }
    case img::Help:
        Disc(p, Blue, QRectF(2, 2, 28, 28));
        Letter(p, QStringLiteral("?"), QRectF(2, 2, 28, 28));
        break;
    case img::About:
        Disc(p, Blue, QRectF(2, 2, 28, 28));
        Letter(p, QStringLiteral("i"), QRectF(2, 2, 28, 28));
        break;
    case img::ReadConfig:
        Transfer(p, false, Blue);
        break;
    case img::WriteConfig:
        Transfer(p, true, Red);
        break;
    case img::ReadDopData:
        Transfer(p, false, Green);
        break;
    case img::WriteDopData:
        Transfer(p, true, Amber);
        break;
    case img::StopMeasure:
        Disc(p, Red, QRectF(2, 2, 28, 28));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(10, 10, 12, 12));
        break;
    case img::StartMeasure: {
        Disc(p, Green, QRectF(2, 2, 28, 28));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        QPainterPath t;
        t.moveTo(12, 9);
        t.lineTo(23, 16);
        t.lineTo(12, 23);
        t.closeSubpath();
        p.drawPath(t);
        break;
    }
    case img::ZeroCorrection:
        Disc(p, Amber, QRectF(2, 2, 28, 28));
        Letter(p, QStringLiteral("0"), QRectF(2, 2, 28, 28));
        break;
    case img::ResetZeroCorrection:
    case img::ResetNsxCorrection:
        Disc(p, Grey, QRectF(2, 2, 28, 28));
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(9, 9, 14, 14), 60 * 16, 280 * 16);
        break;
    case img::NsxCorrection:
        Disc(p, Amber, QRectF(2, 2, 28, 28));
        p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 23), QPointF(24, 9));
        break;
    case img::Disconnect:
        Plug(p, false);
        break;
    case img::Connect:
        Plug(p, true);
        break;
    case img::Calibr:
        p.setPen(QPen(Grey, 1.5));
        p.setBrush(QColor(0xf4, 0xf4, 0xf0));
        p.drawPie(QRectF(3, 6, 26, 26), 0, 180 * 16);
        p.setPen(QPen(Red, 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(16, 19), QPointF(24, 11));
        break;
    case img::Find:
        p.setPen(QPen(Grey, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(19, 19), QPointF(28, 28));
        p.setPen(QPen(Blue, 2.5));
        p.setBrush(QColor(0xd8, 0xe8, 0xfa));
        p.drawEllipse(QRectF(3, 3, 18, 18));
        break;
    case img::CancelFind:
        Disc(p, Red, QRectF(2, 2, 28, 28));
        p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(11, 11), QPointF(21, 21));
        p.drawLine(QPointF(21, 11), QPointF(11, 21));
        break;
    default:
        break;
    }
}

bool Known(int n) {
    switch (n) {
    case img::Exit:
    case img::Help:
    case img::About:
    case img::ReadConfig:
    case img::WriteConfig:
    case img::StopMeasure:
    case img::StartMeasure:
    case img::ZeroCorrection:
    case img::ResetZeroCorrection:
    case img::NsxCorrection:
    case img::ResetNsxCorrection:
    case img::Disconnect:
    case img::Connect:
    case img::ReadDopData:
    case img::WriteDopData:
    case img::Calibr:
    case img::Find:
    case img::CancelFind:
        return true;
    default:
        return false;
    }
}

QPixmap Render(int n, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    Draw(p, n);
    return pm;
}

} // namespace

QIcon TarvoIcon(int n) {
    // Drawn each time: a handful of small pixmaps, and no pixmap outlives the application object.
    if (!Known(n))
        return QIcon();
    QIcon icon;
    for (int size : {16, 24, 32})
        icon.addPixmap(Render(n, size));
    return icon;
}

void SetActionImage(QAction* action, int n) {
    action->setIcon(TarvoIcon(n));
    action->setProperty("imageIndex", n);
}

int ActionImage(const QAction* action) {
    const QVariant v = action->property("imageIndex");
    return v.isValid() ? v.toInt() : -1;
}
