// Texts the link shows, character for character.
#pragma once

#include <QString>
#include <QStringList>

namespace linktext {

// Fourth status panel.
inline const QString ReadingData = QStringLiteral("Чтение данных из памяти прибора");
inline const QString WritingData = QStringLiteral("Запись данных в память прибора");
inline const QString RepeatRequest = QStringLiteral("Повторный запрос");

// Outcomes of the exchanges ("%1": the address the request went to).
inline const QString DeviceNotFound = QStringLiteral("Прибор номер %1 не найден.");
inline const QString InfoWriteRefused = QStringLiteral("Невозможно выполнить команду");
inline const QString ConfWriteRefused = QStringLiteral("Невозможно выполнить комманду.");
inline const QString NoReplyStop = QStringLiteral("Не получен ответ от прибора.");
inline const QString NoReply = QStringLiteral("Не получен ответ от прибора");
inline const QString NoLinkExclamation = QStringLiteral("Нет связи с прибором!");
inline const QString NoLink = QStringLiteral("Нет связи с прибором");
inline const QString NoLinkStop = QStringLiteral("Нет связи с прибором.");

// Checks before an exchange.
inline const QString NotConnected = QStringLiteral("Соединение не установлено");
inline const QString ForgotDate = QStringLiteral("Вы забыли указать дату.");
inline const QString RangeInverted = QStringLiteral("Значание верней границы диапазона меньше нижней!");
// "Длина диапазона не может быть меньше " + "25" + " " + "°" + "C!", with a Latin C.
inline const QString RangeTooShort = QStringLiteral("Длина диапазона не может быть меньше 25 °C!");
// "%1": the characters of the sensor type that the transducer's code page lacks, each in quotes.
inline const QString UnencodableSensorType =
    QStringLiteral("Тип датчика содержит символы, которые нельзя записать в память прибора: %1. Исправьте тип датчика.");
// Each character of `characters` in «», separated by blanks.
inline QString Quoted(const QString& characters) {
    QStringList list;
    for (qsizetype i = 0; i < characters.size(); ++i) {
        const qsizetype len = characters.at(i).isHighSurrogate() && i + 1 < characters.size() ? 2 : 1;
        list << QStringLiteral("«") + characters.mid(i, len) + QStringLiteral("»");
        i += len - 1;
    }
    return list.join(u' ');
}

// Decoding.
inline const QString BadDate = QStringLiteral("Неверная дата");

// The connect action once the link is closed (image 3).
inline const QString ConnectCaption = QStringLiteral("Установить соединение");
constexpr int ConnectImage = 3;

} // namespace linktext
