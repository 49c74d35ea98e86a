// What the information and configuration pages share: controls that tell when the user leaves them or
// clicks them (a page takes a field's value when the focus moves on to another control of the window,
// not when the window itself loses the focus to a message box or another program), and the pause of
// the diagnostics poll around a write.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

class QFocusEvent;
class QMouseEvent;
class QTimer;
class TPageContext;

// Holds the diagnostics timer off for its lifetime and gives it its state back at the end, unless the
// link closed meanwhile (leaving the connected state stops the diagnostics for good).
class TDiagnosticsPause {
public:
    explicit TDiagnosticsPause(TPageContext& context);
    ~TDiagnosticsPause();
    TDiagnosticsPause(const TDiagnosticsPause&) = delete;
    TDiagnosticsPause& operator=(const TDiagnosticsPause&) = delete;

private:
    TPageContext& FContext;
    QTimer* FTimer;
    bool FWasActive;
};

// True when a focus change of this reason moves the focus to another control of the same window.
bool LeavesForAnotherControl(Qt::FocusReason reason);

class TExitLineEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit TExitLineEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}

Q_SIGNALS:
    // The focus moved on to another control; the field's own handling of the focus is done.
    void Exited();

protected:
    void focusOutEvent(QFocusEvent* event) override;
};

class TExitSpinBox : public QSpinBox {
    Q_OBJECT

public:
    // At most `maxCharacters` characters may be typed (0: no limit).
    explicit TExitSpinBox(int maxCharacters = 0, QWidget* parent = nullptr);

Q_SIGNALS:
    // As TExitLineEdit::Exited; the typed text is interpreted first (a value past the limits falls back
    // to the last one within them), so value() is what the field shows.
    void Exited();

protected:
    void focusOutEvent(QFocusEvent* event) override;
};

// A label that reports a click of the left mouse button.
class TClickLabel : public QLabel {
    Q_OBJECT

public:
    explicit TClickLabel(const QString& text, QWidget* parent = nullptr) : QLabel(text, parent) {}

Q_SIGNALS:
    void Clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
