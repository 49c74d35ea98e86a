// Texts of the diagnostics and calibration pages, character for character (the misspellings and the
// "\n\r" line breaks are the transducer tools' own).
#pragma once

#include <QString>

namespace fieldtext {

// Status panel and checks before an operation.
inline const QString DiagnosticsMode = QStringLiteral("Режим диагностики");
inline const QString NotConnected = QStringLiteral("Соединение не установлено");
inline const QString StartDiagnosticsFirst = QStringLiteral("Сначала нужно запустить процесс диагностики");

// The diagnostics button: the form's caption has a leading blank, the one set on stopping has none.
inline const QString BeginCaptionInitial = QStringLiteral(" Начать измерения");
inline const QString BeginCaption = QStringLiteral("Начать измерения");
inline const QString EndCaption = QStringLiteral("Завершить измерения");
constexpr int RunningImage = 0;
constexpr int StoppedImage = 1;

// The poll (with a full stop on the no-link text, none on the no-reply text).
inline const QString PollNoReply = QStringLiteral("Не получен ответ от прибора");
inline const QString PollNoLink = QStringLiteral("Нет связи с прибором.");
inline const QString DateNotRead = QStringLiteral("Не удалось прочитать дату последней настройки.");
inline const QString BadDate = QStringLiteral("Неверная дата");

// Self-diagnostics.
inline const QString DiagOk = QStringLiteral("Неисправностей не обнаружено");
inline const QString DiagSensor = QStringLiteral("1. Обрыв или короткое замыкание ТС.\r\n2. Измеренная температура "
                                                 "за пределами максимального диапазона измерения.");
inline const QString DiagAdc = QStringLiteral("АЦП не отвечает");
inline const QString DiagEeprom = QStringLiteral("Настройка не производилась или сбой EEPROM");
inline const QString NoValue = QStringLiteral("----");

// Corrections.
inline const QString Done = QStringLiteral("Операция успешно выполнена.");
inline const QString CannotExecute = QStringLiteral("Невозможно выполнить комманду");
inline const QString R0TooFar =
    QStringLiteral("Невозможно выполнить комманду. Измеренная температура отличется от 0 более чем на 20°С");
inline const QString R0AlreadyDone = QStringLiteral(
    "Невозможно выполнить комманду.\n\rКорректировка R0 уже проводилась.\n\rСбросить корректировку R0?");
inline const QString R0Resetting = QStringLiteral("Сброс корректировки R0");
inline const QString R0Reset = QStringLiteral("Корректировка R0 сброшена.");
inline const QString NsxAlreadyDone =
    QStringLiteral("Невозможно выполнить комманду.\n\rКорркектировка НСХ уже проводилась.\n\rСбросить?");
inline const QString NsxResetting = QStringLiteral("Сброс корректировки НСХ");
inline const QString NsxReset = QStringLiteral("Корркектировка НСХ сброшена.");
inline const QString NsxTooNear =
    QStringLiteral("Невозможно выполнить комманду. Измеренная температура отличется от 0 менее чем на 20°С.");
inline const QString NsxTooDifferent =
    QStringLiteral("Невозможно выполнить комманду. Измеренная температура отличется указанной более чем 5%.");
inline const QString NsxPrompt = QStringLiteral("Введите действительное значение температуры.");

// Calibration.
inline const QString CalibrationInDiagnostics = QStringLiteral("В режиме диагностики настройку проводить нельзя!");
inline const QString BeginCalibration = QStringLiteral("Начать настройку");
inline const QString ContinueCalibration = QStringLiteral("Продолжить");
inline const QString CancelCalibration = QStringLiteral("Отмена");
inline const QString CancelledByUser = QStringLiteral("Настройка завершена по желанию пользователя");
inline const QString CalibrationDone = QStringLiteral("Настройка успешно завершена");
inline const QString EnterDate = QStringLiteral("Введите дату настройки");
inline const QString WrongDate = QStringLiteral("Неправильно указана дата");
inline const QString AdcOutOfRange = QStringLiteral("Измеряемое АЦП значение не в диапазоне возможных значений");
inline const QString DataOutOfRange = QStringLiteral("Переданные данные не в диапазоне возможных значений");
inline const QString MeasuredCurrent = QStringLiteral("Измеряемый ток:");
inline const QString DateCaption = QStringLiteral("Дата:");

} // namespace fieldtext
