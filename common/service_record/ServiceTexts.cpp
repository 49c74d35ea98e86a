#include "ServiceTexts.h"

#include <QDateTime>
#include <QFileInfo>

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

} // namespace servicerecord
