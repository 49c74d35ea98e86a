#include "TConfigurationPage.h"

TConfigurationPage::TConfigurationPage(QWidget* parent)
    : TDevicePage(QStringLiteral("tsConfiguration"), QStringLiteral("Конфигурация"), QString(), parent) {}
