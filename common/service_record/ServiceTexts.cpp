#include "ServiceTexts.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace servicerecord {

QString FaultText(TFault fault, const QString& path, int busyTimeoutMs, const QString& systemText) {
    const QString folder = QFileInfo(path).absolutePath();
    switch (fault) {
    case sfNone:
        return {};
    case sfNoDriver:
        return QStringLiteral("Журнал обслуживания не ведётся: не установлен драйвер SQLite для Qt "
                              "(пакет libqt6sql6-sqlite).");
    case sfCannotOpen:
        return QStringLiteral("Журнал обслуживания не ведётся: не удаётся создать или открыть файл %1.").arg(path);
    case sfReadOnly:
        return QStringLiteral("Журнал обслуживания не ведётся: нет прав на запись в папку %1.").arg(folder);
    case sfDiskFull:
        return QStringLiteral("Журнал обслуживания не записан: диск заполнен (папка %1).").arg(folder);
    case sfLocked:
        return QStringLiteral("Журнал обслуживания не записан: файл %1 занят другой программой дольше %2 мс.")
            .arg(path)
            .arg(busyTimeoutMs);
    case sfDamaged:
        return QStringLiteral("Журнал обслуживания не ведётся: файл %1 повреждён, а сохранить его под другим "
                              "именем не удалось.")
            .arg(path);
    case sfNewerSchema:
        return QStringLiteral("Журнал обслуживания не ведётся: файл %1 создан более новой версией программы, "
                              "а сохранить его под другим именем не удалось.")
            .arg(path);
    case sfOther:
        break;
    }
    return QStringLiteral("Ошибка записи журнала обслуживания %1: %2").arg(path, systemText);
}

QString KeptAsideText(TFault reason, const QString& path, const QString& asidePath, int foundVersion) {
    const QString kept = QStringLiteral("Он сохранён под именем %1, начат новый журнал %2.").arg(asidePath, path);
    if (reason == sfNewerSchema)
        return QStringLiteral("Файл журнала обслуживания создан более новой версией программы (версия %1). ")
                   .arg(foundVersion) +
               kept;
    return QStringLiteral("Файл журнала обслуживания повреждён. ") + kept;
}

QString EventTitle(TEventKind kind, TGeneration generation) {
    const bool older = generation == gnOlder;
    switch (kind) {
    case ekConfigRead:
        return QStringLiteral("Чтение конфигурации");
    case ekConfigWrite:
        return QStringLiteral("Запись конфигурации");
    case ekSensorRead:
        return older ? QStringLiteral("Чтение информации") : QStringLiteral("Чтение параметров датчика");
    case ekSensorWrite:
        return older ? QStringLiteral("Запись информации") : QStringLiteral("Запись параметров датчика");
    case ekCalibration:
        return QStringLiteral("Настройка");
    case ekZeroCorrection:
        return older ? QStringLiteral("Корректировка R0") : QStringLiteral("Подстройка \"0\"");
    case ekZeroReset:
        return older ? QStringLiteral("Сброс корректировки R0") : QStringLiteral("Сброс подстройки \"0\"");
    case ekNsxCorrection:
        return older ? QStringLiteral("Корректировка НСХ") : QStringLiteral("Подстройка НСХ");
    case ekNsxReset:
        return older ? QStringLiteral("Сброс корректировки НСХ") : QStringLiteral("Сброс подстройки НСХ");
    case ekAsFound:
        return QStringLiteral("Проверка до настройки");
    case ekAsLeft:
        return QStringLiteral("Проверка после настройки");
    }
    return {};
}

QString OutcomeText(TOutcome outcome) {
    switch (outcome) {
    case ocDone:
        return QStringLiteral("Выполнено");
    case ocFailed:
        return QStringLiteral("Ошибка");
    case ocRefused:
        return QStringLiteral("Отказ прибора");
    case ocCancelled:
        return QStringLiteral("Отменено");
    case ocRunning:
        return QStringLiteral("Не завершено");
    case ocInterrupted:
        return QStringLiteral("Прервано");
    }
    return {};
}

QString AtText(const QString& at) {
    const QDateTime t = QDateTime::fromString(at, Qt::ISODateWithMs);
    // The time as it was where it was recorded, not converted to this computer's zone.
    return t.isValid() ? t.toOffsetFromUtc(t.offsetFromUtc()).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) : at;
}

QString TransducerText(const TTransducerId& id) {
    QString s = QString::number(id.typeCode);
    if (!id.fixedName.isEmpty())
        s += QLatin1Char(' ') + id.fixedName;
    s += QStringLiteral(", датчик ");
    if (!id.sensorName.isEmpty())
        s += id.sensorName + QLatin1Char(' ');
    return s + QStringLiteral("№ ") + QString::number(id.sensorNumber);
}

namespace {

QJsonObject Object(const QString& json) {
    return QJsonDocument::fromJson(json.toUtf8()).object();
}

QString ValueText(const QJsonValue& v) {
    if (v.isDouble()) {
        const double d = v.toDouble();
        return d == qint64(d) ? QString::number(qint64(d)) : QString::number(d, 'g', 10);
    }
    if (v.isBool())
        return v.toBool() ? QStringLiteral("да") : QStringLiteral("нет");
    if (v.isUndefined() || v.isNull())
        return QStringLiteral("—");
    return v.toString();
}

// "key: old → new" for what differs; "key value" for a block alone.
QString BlockChanges(const QJsonObject& before, const QJsonObject& after) {
    QStringList pieces;
    if (before.isEmpty()) {
        for (auto it = after.begin(); it != after.end(); ++it)
            pieces.append(it.key() + QLatin1Char(' ') + ValueText(it.value()));
        return pieces.join(QStringLiteral(", "));
    }
    QStringList keys = before.keys();
    for (const QString& k : after.keys())
        if (!keys.contains(k))
            keys.append(k);
    for (const QString& k : keys)
        if (before.value(k) != after.value(k))
            pieces.append(k + QStringLiteral(": ") + ValueText(before.value(k)) + QStringLiteral(" → ") +
                         ValueText(after.value(k)));
    return pieces.isEmpty() ? QStringLiteral("без изменений") : pieces.join(QStringLiteral(", "));
}

} // namespace

QString EntryOutcomeText(const TLogEntry& e) {
    if (e.kind == ekAsFound || e.kind == ekAsLeft)
        return Object(e.after).value(QStringLiteral("passed")).toBool() ? QStringLiteral("Годен")
                                                                         : QStringLiteral("Не годен");
    return OutcomeText(e.outcome);
}

QString EntryDetails(const TLogEntry& e) {
    QStringList pieces;
    switch (e.kind) {
    case ekAsFound:
    case ekAsLeft:
        pieces.append(QStringLiteral("точек: %1").arg(Object(e.after).value(QStringLiteral("points")).toInt()));
        if (e.runId == 0)
            pieces.append(QStringLiteral("без настройки"));
        break;
    case ekCalibration:
        if (e.calibrationDate.isValid())
            pieces.append(QStringLiteral("записана дата %1").arg(e.calibrationDate.toString(QStringLiteral("dd.MM.yyyy"))));
        break;
    default:
        if (!e.before.isEmpty() || !e.after.isEmpty())
            pieces.append(BlockChanges(Object(e.before), Object(e.after)));
        break;
    }
    if (e.confirmed == 0 && (e.kind == ekConfigWrite || e.kind == ekSensorWrite))
        pieces.append(QStringLiteral("не подтверждено"));
    if (!e.failure.isEmpty())
        pieces.append(e.failure);
    return pieces.join(QStringLiteral("; "));
}

} // namespace servicerecord
