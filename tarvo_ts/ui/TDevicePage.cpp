#include "TDevicePage.h"

TDevicePage::TDevicePage(TPageContext& context, const QString& name, const QString& caption,
                         const QString& hint, QWidget* parent)
    : QWidget(parent), FContext(context), FCaption(caption), FHint(hint) {
    setObjectName(name);
}
