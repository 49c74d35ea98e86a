#include "WindowPlacement.h"

#include <QScreen>
#include <QWidget>

namespace {
void CentreIn(QWidget* window, const QRect& area) {
    if (area.isValid())
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
}
} // namespace

void CentreOnOwner(QWidget* window) {
    const QWidget* owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    if (owner && owner->isVisible())
        CentreIn(window, owner->frameGeometry());
    else
        CentreOnScreen(window);
}

void CentreOnScreen(QWidget* window) {
    if (const QScreen* s = window->screen())
        CentreIn(window, s->availableGeometry());
}
