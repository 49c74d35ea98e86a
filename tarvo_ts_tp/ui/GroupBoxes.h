// Enabling of whole group boxes.
#pragma once

#include <initializer_list>

class QGroupBox;

// Sets the enabled state of every control inside each box, then of the box itself.
void SetGroupBoxesEnabled(std::initializer_list<QGroupBox*> boxes, bool enabled);
