// The COM-port dialog "СОМ-порт": a port from the list, or a name typed and confirmed with Enter.
// Created at start and kept; shown modally before a connection while the port was set by name, and by
// the "Выбор COM-порта" command. Closing it with its close box cancels.
#pragma once

#include <QDialog>

class QPushButton;
class TConnection;
class TPortComboBox;
class TTsLink;

class TfrmCOMChoice final : public QDialog {
    Q_OBJECT

public:
    TfrmCOMChoice(TConnection& connection, TTsLink& link, QWidget* parent = nullptr);

    // Fills the list, shows the dialog modally; true when confirmed ("Ok" or Enter), false when closed
    // with the close box.
    bool Choose();

    TPortComboBox* cbComPort;
    QPushButton* btnOk;

private:
    void cbComPortSelect(int index);
    void cbComPortEnter(const QString& text);

    TConnection& FConnection;
    TTsLink& FLink;
};
