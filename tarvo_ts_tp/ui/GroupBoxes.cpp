#include "GroupBoxes.h"

#include <QGroupBox>

void SetGroupBoxesEnabled(std::initializer_list<QGroupBox*> boxes, bool enabled) {
    for (QGroupBox* box : boxes) {
        for (QWidget* w : box->findChildren<QWidget*>())
            w->setEnabled(enabled);
        box->setEnabled(enabled);
    }
}
