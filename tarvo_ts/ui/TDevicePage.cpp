#include "TDevicePage.h"

TDevicePage::TDevicePage(const QString& name, const QString& caption, const QString& hint, QWidget* parent)
    : QWidget(parent), FCaption(caption), FHint(hint) {
    setObjectName(name);
}
