// What the page tests do as a user would: type into a field (any characters, not only ASCII), leave it
// for another control, and connect the window's link to a scripted transducer of a given type.
#pragma once

#include "WindowRig.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>

namespace pageinput {

// Replaces the field's text by typing `text` key by key (the window must be active for the focus).
inline void Type(QWidget* field, const QString& text) {
    field->setFocus(Qt::TabFocusReason);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    if (auto* spin = qobject_cast<QSpinBox*>(field))
        spin->selectAll();
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &press);
    }
}

// The focus moves on from `field` to `next` as the Tab key would move it.
inline void Leave(QWidget* field, QWidget* next) {
    field->setFocus(Qt::TabFocusReason);
    next->setFocus(Qt::TabFocusReason);
}

// Opens the port and identifies a transducer of `typeCode` at `address`, then reads its configuration
// (kind 1, 100 Ω, -50..150 °C, direct, alarm code `alarm`, averaging code 10 = 2 s).
// A click of the left button near the left end of the control, where a radio button or check box has
// its indicator.
inline void Click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(4, control->height() / 2));
}

// Shows the rig's window active, so that focus changes reach the fields.
inline bool Activate(TWindowRig& rig) {
    rig.form->activateWindow();
    return QTest::qWaitForWindowActive(rig.form.get());
}

inline void ConnectTo(TWindowRig& rig, int address, int typeCode, int alarm = 1) {
    rig.port->Reply(IdentReply(address, typeCode, QByteArray("Tarvo"), QByteArray("Pt100"), 1234, 5, 6, 2021));
    rig.port->Reply(ConfReply(address, 1, 1, -50, 150, 0, alarm, 10, address));
    rig.Link().Driver().OpenPort();
    rig.Link().ReadInformation(address);
    rig.Link().ReadConfiguration();
}

} // namespace pageinput
