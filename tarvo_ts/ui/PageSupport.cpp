#include "PageSupport.h"

#include "PageContext.h"
#include "TDiagnosticPage.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QTimer>

TDiagnosticsPause::TDiagnosticsPause(TPageContext& context)
    : FContext(context), FTimer(context.Diagnostics().DiagnosticsTimer), FWasActive(FTimer->isActive()) {
    FTimer->stop();
}

TDiagnosticsPause::~TDiagnosticsPause() {
    if (FWasActive && FContext.IsPortOpen())
        FTimer->start();
}

bool LeavesForAnotherControl(Qt::FocusReason reason) {
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
           reason != Qt::MenuBarFocusReason;
}

void TExitLineEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (LeavesForAnotherControl(event->reason()))
        Q_EMIT Exited();
}

TExitSpinBox::TExitSpinBox(int maxCharacters, QWidget* parent) : QSpinBox(parent) {
    if (maxCharacters > 0)
        lineEdit()->setMaxLength(maxCharacters);
}

void TExitSpinBox::focusOutEvent(QFocusEvent* event) {
    QSpinBox::focusOutEvent(event);
    if (LeavesForAnotherControl(event->reason()))
        Q_EMIT Exited();
}

void TClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT Clicked();
}
