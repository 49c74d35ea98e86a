// The settings dialog "Настройки программы": the connection at start-up and the number of attempts
// (page "Общие"), the port (page "Соединение"). Changes take effect at once and reach the settings file
// when the main window closes. Created on first use and kept; shown modally.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TConnection;
class TPortComboBox;
class TTsLink;
struct TProgSettings;

class TfrmSettings final : public QDialog {
    Q_OBJECT

public:
    TfrmSettings(TConnection& connection, TTsLink& link, TProgSettings& settings, QWidget* parent = nullptr);

    QTreeWidget* TreeView1;
    QStackedWidget* Pages;
    QWidget* tsBasic;
    QWidget* tsConnection;
    QWidget* tsView;
    QCheckBox* cbSetConnectBeforeRun;
    QRadioButton* rbConnectToNum;
    QSpinBox* rseSlaveID;
    QRadioButton* rbToLast;
    QRadioButton* rbFindFirst;
    QSpinBox* rseRepNum;
    TPortComboBox* cbCom;
    QPushButton* btnClose;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* CreateBasicPage();
    QWidget* CreateConnectionPage();
    // The controls from the settings; once, at creation.
    void LoadSettingsControls();
    void TreeView1Change(QTreeWidgetItem* item);
    void cbSetConnectBeforeRunClick();
    void rbConnectToNumClick();
    void rbToLastClick();
    void rbFindFirstClick();
    void cbComSelect(int index);
    // Only one of the three start-up choices checked (they are not exclusive by themselves: all three
    // may be unchecked).
    void CheckOnly(QRadioButton* button);

    TConnection& FConnection;
    TTsLink& FLink;
    TProgSettings& FSettings;
    QTreeWidgetItem* FRoot;
    QTreeWidgetItem* FGeneral;
    QTreeWidgetItem* FConnectionNode;
};
