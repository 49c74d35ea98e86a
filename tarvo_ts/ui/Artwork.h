// The program's look that no colour scheme changes: its font, its logo and the picture behind the
// about box.
#pragma once

#include <QFont>
#include <QPixmap>

class QPainter;
class QRectF;

// The font of every window of the program (the small windows are windows of their own and do not
// inherit the main window's font).
QFont ProgramFont();
// A thermometer in a rounded square, `size` pixels wide; the window icon and the about box show it.
QPixmap ProgramLogo(int size);
// The picture that fills the about box.
void PaintAboutBackdrop(QPainter& p, const QRectF& r);
