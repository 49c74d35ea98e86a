// The program's own message dialog: one instance, created at start and reused for every message and
// every number the program asks for.
#pragma once

#include "MessageDlg.h"

#include <QDialog>
#include <functional>

class QDoubleSpinBox;
class QLabel;
class QPushButton;

class TfrmMessage final : public QDialog, public TMessageDialog {
    Q_OBJECT

public:
    explicit TfrmMessage(QWidget* parent = nullptr);

    int MessageDlg(const QString& text, int kind, int buttons) override;
    int EnterValue(const QString& text, double& value, double initial) override;

    // Runs whenever the dialog is about to show; the window gives it its colours there.
    void SetBeforeShow(std::function<void()> hook) { FBeforeShow = std::move(hook); }

    QLabel* imgIcon;
    QLabel* lbMess;
    QPushButton* btnOk;
    QPushButton* btnYes;
    QPushButton* btnNo;
    QDoubleSpinBox* rseVal;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SetIcon(int kind);
    int ShowModal();

    std::function<void()> FBeforeShow;
    bool FAnswered = false; // a button closed the dialog, not the system
};
