#include "TFormMain.h"

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Tarvo-ТС-ТП"));
    setFixedSize(794, 571);
}
