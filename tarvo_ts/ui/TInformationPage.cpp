#include "TInformationPage.h"

#include "PageContext.h"

TInformationPage::TInformationPage(TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("tsInformation"), QStringLiteral("Информация"), QString(), parent) {
    CreateWidgets();
}

void TInformationPage::CreateWidgets() {}

void TInformationPage::ShowInformation() {
    Context().Settings().DefaultSlaveID = static_cast<quint8>(Context().DeviceData().SlaveID & 0xFF);
}

void TInformationPage::ClearFields() {}

void TInformationPage::WriteInformation() {
    Context().Link().WriteInformation();
}
