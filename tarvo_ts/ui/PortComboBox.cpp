#include "PortComboBox.h"

#include "SerialPortList.h"

#include <QKeyEvent>
#include <QLineEdit>

int FindComboItem(const QComboBox* combo, const QString& text, Qt::CaseSensitivity cs) {
    for (int i = 0; i < combo->count(); ++i)
        if (combo->itemText(i).compare(text, cs) == 0)
            return i;
    return -1;
}

TPortComboBox::TPortComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    lineEdit()->installEventFilter(this);
}

void TPortComboBox::FillPorts() {
    const QString text = currentText();
    blockSignals(true);
    clear();
    addItems(ListSerialPorts());
    setCurrentIndex(FindComboItem(this, text));
    setEditText(text);
    blockSignals(false);
}

void TPortComboBox::showPopup() {
    FillPorts();
    QComboBox::showPopup();
}

bool TPortComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (OnEnter)
                OnEnter(lineEdit()->text());
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}
