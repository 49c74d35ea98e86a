#include "TInformationPage.h"

TInformationPage::TInformationPage(QWidget* parent)
    : TDevicePage(QStringLiteral("tsInformation"), QStringLiteral("Информация"), QString(), parent) {}
