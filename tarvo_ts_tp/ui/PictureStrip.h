// The picture strip at the left of the main window and of the about box, and the program's logo.
#pragma once

#include <QPixmap>
#include <QWidget>

class TPictureStrip : public QWidget {
    Q_OBJECT

public:
    explicit TPictureStrip(QWidget* parent = nullptr);
    // The logo: a thermometer bulb in a rounded square, `size` pixels wide.
    static QPixmap Logo(int size);

protected:
    void paintEvent(QPaintEvent* event) override;
};
