#include "ServiceActions.h"

#include <QAction>
#include <QToolButton>

namespace servicerecord {

namespace {

QAction* Make(QObject* parent, const char* name, const QString& text) {
    auto* a = new QAction(text, parent);
    a->setObjectName(QString::fromLatin1(name));
    a->setToolTip(text);
    return a;
}

} // namespace

QAction* MakeAsFoundAction(QObject* parent) {
    return Make(parent, "ActionAsFound", QStringLiteral("Проверка до настройки"));
}

QAction* MakeAsLeftAction(QObject* parent) {
    return Make(parent, "ActionAsLeft", QStringLiteral("Проверка после настройки"));
}

QAction* MakeServiceLogAction(QObject* parent) {
    return Make(parent, "ActionServiceLog", QStringLiteral("Журнал обслуживания"));
}

QToolButton* ToolButtonFor(QAction* action, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QStringLiteral("Button") + action->objectName().mid(6));
    action->setIconText(action->text()); // a tool button would drop the "…" that says a window follows
    b->setDefaultAction(action);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
}

} // namespace servicerecord
