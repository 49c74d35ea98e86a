#include "Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

QFont ProgramFont() {
    return QFont(QStringLiteral("Tahoma"), 8);
}

QPixmap ProgramLogo(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // A green square tells this program from its blue sibling at a glance.
    QLinearGradient back(0, 0, 64, 64);
    back.setColorAt(0, QColor(0x2f, 0x8f, 0x6a));
    back.setColorAt(1, QColor(0x14, 0x4a, 0x3c));
    p.setPen(QPen(QColor(0xd8, 0xf2, 0xe6), 1.5));
    p.setBrush(back);
    p.drawRoundedRect(QRectF(1, 1, 62, 62), 14, 14);
    p.setPen(Qt::NoPen);
    // Resistance thermometer: a glass tube with a coil at the bottom.
    p.setBrush(QColor(0xf6, 0xf8, 0xf6));
    p.drawRoundedRect(QRectF(25, 7, 14, 40), 7, 7);
    p.drawEllipse(QRectF(20, 36, 24, 24));
    p.setBrush(QColor(0xe0, 0x3c, 0x2c));
    p.drawRoundedRect(QRectF(29.5, 20, 5, 28), 2.5, 2.5);
    p.drawEllipse(QRectF(24.5, 40.5, 15, 15));
    p.setPen(QPen(QColor(0xfa, 0xd0, 0x60), 1.6, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i)
        p.drawArc(QRectF(27 + i * 3.4, 45, 3.4, 6), 0, 180 * 16);
    p.setPen(QPen(QColor(0x14, 0x4a, 0x3c), 1.4, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 5; ++i) {
        const double y = 12 + i * 6;
        p.drawLine(QPointF(39, y), QPointF(i % 2 ? 44 : 47, y));
    }
    return pm;
}

void PaintAboutBackdrop(QPainter& p, const QRectF& r) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient back(r.topLeft(), r.bottomRight());
    back.setColorAt(0, QColor(0x1f, 0x6e, 0x58));
    back.setColorAt(0.55, QColor(0x12, 0x40, 0x4a));
    back.setColorAt(1, QColor(0x0a, 0x22, 0x36));
    p.fillRect(r, back);
    // A glow behind the logo and slow waves across the lower half: a calm surface for white text.
    QRadialGradient glow(r.left() + 70, r.top() + 60, 120);
    glow.setColorAt(0, QColor(255, 255, 255, 40));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(r, glow);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        QPainterPath wave;
        const double y0 = r.top() + r.height() * (0.55 + 0.14 * i);
        wave.moveTo(r.left(), y0);
        wave.cubicTo(r.left() + r.width() * 0.35, y0 - 28, r.left() + r.width() * 0.65, y0 + 26, r.right(),
                     y0 - 8);
        wave.lineTo(r.bottomRight());
        wave.lineTo(r.bottomLeft());
        wave.closeSubpath();
        p.setBrush(QColor(255, 255, 255, 12));
        p.drawPath(wave);
    }
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
    p.restore();
}
