#include "TConfigurationPage.h"

#include "PageContext.h"

TConfigurationPage::TConfigurationPage(TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("tsConfiguration"), QStringLiteral("Конфигурация"), QString(),
                  parent) {
    CreateWidgets();
}

void TConfigurationPage::CreateWidgets() {}

void TConfigurationPage::ShowConfiguration() {}

void TConfigurationPage::ClearFields() {}

void TConfigurationPage::WriteConfiguration() {
    Context().Link().WriteConfiguration();
}
