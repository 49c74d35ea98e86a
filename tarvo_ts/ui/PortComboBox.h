// The editable combo boxes of the connection dialogs: a port field whose list is filled again each time
// it drops down, and the lookup of an entry.
#pragma once

#include <QComboBox>
#include <functional>

// Position of `text` in the combo box's list, or -1.
int FindComboItem(const QComboBox* combo, const QString& text, Qt::CaseSensitivity cs = Qt::CaseSensitive);

class TPortComboBox final : public QComboBox {
    Q_OBJECT

public:
    explicit TPortComboBox(QWidget* parent = nullptr);

    // Empties the list and adds the port names (ListSerialPorts); the text typed stays.
    void FillPorts();
    // Enter in the field, with the text it holds.
    std::function<void(const QString& text)> OnEnter;

    void showPopup() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
