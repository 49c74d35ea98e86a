// The pictures of the actions, keyed by image number. The number also sits on each action as the
// dynamic property "imageIndex", so what the program shows can be checked by number.
#pragma once

#include <QIcon>

class QAction;

namespace img {
constexpr int Exit = 1;
constexpr int Help = 2;
constexpr int About = 3;
constexpr int ReadConfig = 4;
constexpr int WriteConfig = 5;
constexpr int StopMeasure = 7;
constexpr int StartMeasure = 8;
constexpr int ZeroCorrection = 9;
constexpr int ResetZeroCorrection = 10;
constexpr int NsxCorrection = 11;
constexpr int ResetNsxCorrection = 12;
constexpr int Disconnect = 14;
constexpr int Connect = 15;
constexpr int ReadDopData = 16;
constexpr int WriteDopData = 17;
constexpr int Calibr = 20;
constexpr int Find = 29;
constexpr int CancelFind = 30;
} // namespace img

// The picture of image `n` (32 x 32 and smaller sizes); a null icon for an unknown number.
QIcon TarvoIcon(int n);
// Sets the action's icon and its "imageIndex" property.
void SetActionImage(QAction* action, int n);
// The image number last set on the action, -1 when none.
int ActionImage(const QAction* action);
