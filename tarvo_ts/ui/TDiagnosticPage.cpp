#include "TDiagnosticPage.h"

#include "LcdIndicator.h"
#include "PageContext.h"

#include <QTimer>

TDiagnosticPage::TDiagnosticPage(TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("tsDiagnostic"), QStringLiteral("Диагностика "), QString(), parent) {
    DiagnosticsTimer = new QTimer(this);
    DiagnosticsTimer->setObjectName(QStringLiteral("DiagnosticsTimer"));
    DiagnosticsTimer->setInterval(1000);

    auto indicator = [this](const char* name, TLcdIndicator::TLcdIndicatorKind kind) {
        auto* ind = new TLcdIndicator(this);
        ind->setObjectName(QLatin1String(name));
        ind->setSignNumber(5);
        ind->setIndicatorKind(kind);
        return ind;
    };
    indT = indicator("indT", TLcdIndicator::ik7segment);
    indR = indicator("indR", TLcdIndicator::ik7segment);
    indCalibrDate = indicator("indCalibrDate", TLcdIndicator::ik5x7matrix);
    CreateWidgets();
}

void TDiagnosticPage::CreateWidgets() {
    // Placed until the page gets its layout.
    indT->move(40, 20);
    indR->move(40, 80);
    indCalibrDate->move(40, 160);
}

void TDiagnosticPage::StopDiagnostics() {
    DiagnosticsTimer->stop();
    FDiagnosticsRunning = false;
}

void TDiagnosticPage::ShowPollReply(std::span<const std::uint8_t> reply) {
    (void)reply;
}

void TDiagnosticPage::ReadCalibrationDate() {}

void TDiagnosticPage::ClearDiagInfo() {}

void TDiagnosticPage::ClearIndicators() {
    for (TLcdIndicator* ind : {indT, indR, indCalibrDate})
        ind->setIndicatorstring(QString());
}
