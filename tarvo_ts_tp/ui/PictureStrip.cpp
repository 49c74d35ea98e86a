#include "PictureStrip.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

TPictureStrip::TPictureStrip(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

QPixmap TPictureStrip::Logo(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    QLinearGradient g(0, 0, 0, 64);
    g.setColorAt(0, QColor(0x2a, 0x6f, 0xc0));
    g.setColorAt(1, QColor(0x12, 0x3a, 0x70));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1, 1, 62, 62), 12, 12);
    // thermometer
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(27, 9, 10, 36), 5, 5);
    p.drawEllipse(QRectF(22, 38, 20, 20));
    p.setBrush(QColor(0xd8, 0x30, 0x30));
    p.drawRect(QRectF(30, 22, 4, 22));
    p.drawEllipse(QRectF(25, 41, 14, 14));
    p.setPen(QPen(QColor(0x12, 0x3a, 0x70), 1.5));
    for (int y = 14; y <= 34; y += 5)
        p.drawLine(QPointF(37, y), QPointF(33 + (y % 10 == 4 ? 8 : 6), y));
    return pm;
}

void TPictureStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(0x1d, 0x4e, 0x8f));
    g.setColorAt(1, QColor(0x0b, 0x22, 0x44));
    p.fillRect(r, g);
    // soft waves across the strip
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        QPainterPath w;
        const double y0 = r.height() * (0.35 + 0.15 * i);
        w.moveTo(0, y0);
        w.cubicTo(r.width() * 0.3, y0 - 30, r.width() * 0.7, y0 + 30, r.width(), y0 - 10);
        w.lineTo(r.width(), r.height());
        w.lineTo(0, r.height());
        w.closeSubpath();
        p.setBrush(QColor(255, 255, 255, 14));
        p.drawPath(w);
    }
    const int logo = int(qMin(r.width() - 24, 72.0));
    p.drawPixmap(int((r.width() - logo) / 2), 18, Logo(logo));
    QFont f = font();
    f.setBold(true);
    f.setPixelSize(int(r.width() / 6.5));
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 24 + logo, r.width(), f.pixelSize() * 1.6), Qt::AlignCenter,
               QStringLiteral("Tarvo"));
    f.setBold(false);
    f.setPixelSize(int(r.width() / 11));
    p.setFont(f);
    p.setPen(QColor(0xc8, 0xd8, 0xf0));
    p.drawText(QRectF(0, 24 + logo + f.pixelSize() * 2.6, r.width(), f.pixelSize() * 1.6), Qt::AlignCenter,
               QStringLiteral("ТС-ТП"));
}
