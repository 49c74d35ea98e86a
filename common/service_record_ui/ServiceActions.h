// The three commands the programs put on their calibration pages and menus, with their names and texts.
#pragma once

class QAction;
class QObject;
class QToolButton;
class QWidget;

namespace servicerecord {

QAction* MakeAsFoundAction(QObject* parent);    // ActionAsFound, "Проверка до настройки"
QAction* MakeAsLeftAction(QObject* parent);     // ActionAsLeft, "Проверка после настройки"
QAction* MakeServiceLogAction(QObject* parent); // ActionServiceLog, "Журнал обслуживания"

// A text button for `action`, named after it ("ActionSavePdf" -> "ButtonSavePdf"), its text shown whole.
QToolButton* ToolButtonFor(QAction* action, QWidget* parent);

} // namespace servicerecord
