#include "ServiceActions.h"

#include <QAction>

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

} // namespace servicerecord
