// The connect dialog "Установка соединения": an address and "Найти", or "Найти первый". Created on
// first use and kept; shown modally.
#pragma once

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class TConnection;
class TTsLink;

class TfrmConnect final : public QDialog {
    Q_OBJECT

public:
    TfrmConnect(TConnection& connection, TTsLink& link, QWidget* parent = nullptr);

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QComboBox* cbPL_ID;
    QPushButton* btnFind;
    QPushButton* btnFindFirst;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void btnFindClick();
    void btnFindFirstClick();

    TConnection& FConnection;
    TTsLink& FLink;
};
