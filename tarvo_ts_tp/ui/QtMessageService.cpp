#include "QtMessageService.h"

#include <QMessageBox>

int TQtMessageService::MessageBox(const QString& text, const QString& caption, Icon icon, int buttons) {
    QMessageBox box(parent_);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    struct Map {
        Button ours;
        QMessageBox::StandardButton qt;
    };
    static const Map map[] = {
        {Ok, QMessageBox::Ok}, {Yes, QMessageBox::Yes}, {No, QMessageBox::No}, {Cancel, QMessageBox::Cancel}};
    QMessageBox::StandardButtons qtButtons;
    for (const Map& m : map)
        if (buttons & m.ours)
            qtButtons |= m.qt;
    if (!qtButtons)
        qtButtons = QMessageBox::Ok;
    box.setStandardButtons(qtButtons);
    const int pressed = box.exec();
    for (const Map& m : map)
        if (pressed == m.qt)
            return m.ours;
    // Closed by the window's close button: the box's escape answer.
    if (buttons & Cancel)
        return Cancel;
    if (buttons & No)
        return No;
    return Ok;
}
