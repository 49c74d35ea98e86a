// The diagnostics page: live measurements, self-diagnostics, the R0 and NSX corrections.
#pragma once

#include "TDevicePage.h"

class TDiagnosticPage : public TDevicePage {
    Q_OBJECT

public:
    explicit TDiagnosticPage(QWidget* parent = nullptr);
};
