// The pictures of the main window's actions and buttons, keyed by image number. The number also sits on
// each action as the dynamic property "imageIndex", so what the window shows can be checked by number.
#pragma once

#include <QIcon>

class QAction;

namespace img {
constexpr int StopMeasure = 0;  // the diagnostics button while measuring
constexpr int StartMeasure = 1; // the diagnostics button at rest
constexpr int Connect = 3;
constexpr int Disconnect = 4;
constexpr int Settings = 5;
constexpr int ComPort = 6;
constexpr int FindFirst = 7;
constexpr int IndicatorStyle = 10;
constexpr int Exit = 11;
constexpr int About = 12;
constexpr int Help = 40;
} // namespace img

// The picture of image `n` in 16, 24 and 32 pixels; a null icon for a number the table does not have.
QIcon TarvoIcon(int n);
// The picture of a message of `kind` (0 warning, 1 error, 2 information, 3 question); a null icon for
// any other kind.
QIcon MessageKindIcon(int kind);
// Sets the action's icon and its "imageIndex" property.
void SetActionImage(QAction* action, int n);
// The image number last set on the action, -1 when none.
int ActionImage(const QAction* action);
