// Texts of the connection policy and its dialogs, character for character.
#pragma once

#include <QString>

namespace conntext {

// Start-up ("%1": the address, "%2": the port as the Cyrillic texts name it).
inline const QString StartupConnecting = QStringLiteral(
    "Производится установка соединения с прибором номер %1, подключенному к порту %2.\n\rПожалуйста подождите.");
inline const QString StartupSearching =
    QStringLiteral("Производится поиск устройсв до первого найденного.\n\rПожалуйста подождите.");

// The search ("%1": the port, "%2": the address).
inline const QString Searching = QStringLiteral("Поиск прибора до первого найденного");
inline const QString SearchingAt = QStringLiteral("Поиск прибора до первого найденного\n\rСОМ-порт %1 адрес %2.");
inline const QString NothingFound = QStringLiteral("Ни одного прибора не найдено.");

// Connecting ("%1": the port).
inline const QString NoPortConnection = QStringLiteral("Нет соединения c %1");
inline const QString BreakQuestion = QStringLiteral("Разорвать установленное соединение?");
inline const QString OfferConnection =
    QStringLiteral("Соединение с прибором не установлено.\n\rУстановить соединение?");
// "%1": the address, "%2": the port as the Cyrillic texts name it.
inline const QString OfferFailed = QStringLiteral(
    "Не удалось установить соединение с прибором\n\r номер %1, подключенным к порту %2.\n\r Попробуйте "
    "установить соединение с другим номером.");

// An address outside the transducers' range in the connect dialog.
inline const QString AddressOutOfRange = QStringLiteral("Адрес прибора должен быть от 1 до 247.");

// The connect action while connected (image 4).
inline const QString DisconnectCaption = QStringLiteral("Разорвать соединение");
constexpr int DisconnectImage = 4;

} // namespace conntext
