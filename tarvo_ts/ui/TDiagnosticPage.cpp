#include "TDiagnosticPage.h"

TDiagnosticPage::TDiagnosticPage(QWidget* parent)
    : TDevicePage(QStringLiteral("tsDiagnostic"), QStringLiteral("Диагностика "), QString(), parent) {}
