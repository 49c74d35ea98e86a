// Where the program's windows appear.
#pragma once

class QWidget;

// Centres `window` on the main window it belongs to (its parent's window) while that is shown,
// otherwise on its screen.
void CentreOnOwner(QWidget* window);
// Centres `window` on the available area of its screen.
void CentreOnScreen(QWidget* window);
