#include "PageRules.h"

#include "ModbusRtu.h"

#include <QStringList>
#include <cstdlib>

int BaudTextNumber(const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? n : 0;
}

bool IsConfigChanged(const TTarvoDevice* d, const TConfigPageValues& v) {
    if (!d)
        return false;
    if (v.address != d->ModbusAddr)
        return true;
    if (HasBaudRateChoice(d->TypeId) && BaudTextNumber(v.baudText) != BaudRateToInt(d->Baudrate))
        return true;
    // No item checked: the transducer's own type, which the list lacks, is kept.
    const int item = v.sensorItem >= 0 ? v.sensorItem : d->SensorType - 1;
    if (item + 1 != d->SensorType)
        return true;
    if (item >= 0 && item < 6 && ((d->ConnScheme == 3 && !v.wire3) || (d->ConnScheme == 4 && !v.wire4)))
        return true;
    if (v.top != d->RangeHighLimit || v.bottom != d->RangeLowLimit)
        return true;
    if ((!v.averagingOn && d->AveragingTime > 0) || (v.averagingOn && v.averagingTime != d->AveragingTime))
        return true;
    if (HasCurrentOutput(d->TypeId)) {
        if ((d->InvertedOut && v.direct) || (!d->InvertedOut && v.inverted))
            return true;
        if (HasOutputRangeChoice(d->TypeId) && v.rangeIndex + 1 != d->OutSignalRange)
            return true;
        if (v.alarmCode != 0 && v.alarmCode != d->AlarmSignalValue)
            return true;
    }
    return false;
}

TConfigWrite PlanConfigWrite(const TTarvoDevice& d, const TConfigPageValues& v) {
    TConfigWrite w;
    const bool rangeEditable = HasCurrentOutput(d.TypeId);
    // What a field shows is what would be sent: a text that is no value sends nothing.
    if (rangeEditable && !v.bottomShown) {
        w.refusal = QStringLiteral("Недопустимое значение нижней границы диапазона измерения!");
        return w;
    }
    if (rangeEditable && !v.topShown) {
        w.refusal = QStringLiteral("Недопустимое значение верхней границы диапазона измерения!");
        return w;
    }
    if (!v.averagingShown) {
        w.refusal = QStringLiteral("Недопустимое время усреднения: введите число от 1 до 30");
        return w;
    }
    if (!v.addressShown) {
        w.refusal = QStringLiteral("Недопустимое значение адреса: введите число от 1 до 247");
        return w;
    }
    if (!IsConfigChanged(&d, v)) {
        w.refusal = QStringLiteral("Конфигурация не изменялась");
        w.refusalIsWarning = true;
        return w;
    }
    const bool typeGiven = v.sensorItem >= 0;
    const int type = typeGiven ? v.sensorItem + 1 : d.SensorType;
    const bool knownType = type >= 1 && type <= tarvo::SensorTypeCount;
    int bottom = v.bottom, top = v.top;
    std::int32_t from = 0, to = 0;
    GetLowLimitRange(type, from, to);
    if (knownType && !rangeEditable)
        bottom = qBound(int(from), bottom, int(to));
    if ((typeGiven && !knownType) || (knownType && (bottom < from || bottom > to))) {
        w.refusal = QStringLiteral("Недопустимое значение нижней границы диапазона измерения!");
        return w;
    }
    GetHighLimitRange(type, from, to);
    if (knownType && !rangeEditable)
        top = qBound(int(from), top, int(to));
    if (knownType && (top < from || top > to)) {
        w.refusal = QStringLiteral("Недопустимое значение верхней границы диапазона измерения!");
        return w;
    }

    // The rate list can be typed into; only a rate of the list may reach the transducer, and the code
    // written is the code of that very rate, so that the program follows the rate it asked for.
    int baudCode = BaudRateToCode(CBR_9600);
    if (HasBaudRateChoice(d.TypeId)) {
        const int bps = BaudTextNumber(v.baudText);
        baudCode = 0;
        for (int i = 0; i < tarvo::BaudListCount; ++i)
            if (BaudRateToInt(BaudListRates[i]) == bps)
                baudCode = i + 1;
        if (baudCode == 0) {
            w.refusal = QStringLiteral("Недопустимое значение скорости передачи!");
            return w;
        }
        if (bps != BaudRateToInt(d.Baudrate)) {
            w.changeBaud = true;
            w.newBaud = IntToBaudRate(bps);
        }
    }

    TConfigBlock& b = w.block;
    b.SensorType = std::uint8_t(type);
    b.ConnScheme = d.ConnScheme;
    if (type >= 1 && type <= 6) {
        if (v.wire3)
            b.ConnScheme = 3;
        else if (v.wire4)
            b.ConnScheme = 4;
    }
    b.RangeLowLimit = bottom;
    b.RangeHighLimit = top;
    b.InvertedOut = d.InvertedOut;
    b.AlarmSignalValue = d.AlarmSignalValue;
    if (HasCurrentOutput(d.TypeId)) {
        if (v.direct)
            b.InvertedOut = false;
        else if (v.inverted)
            b.InvertedOut = true;
        const int maxAlarm = HasOutputRangeChoice(d.TypeId) ? 5 : 4;
        if (v.alarmCode >= 1 && v.alarmCode <= maxAlarm)
            b.AlarmSignalValue = std::uint8_t(v.alarmCode);
    }
    b.AveragingTime = std::uint8_t(v.averagingOn ? v.averagingTime : 0);
    b.SlaveAddr = std::uint16_t(v.address);
    w.changeAddr = v.address != d.ModbusAddr;
    b.BaudCode = std::uint16_t(baudCode);
    b.OutSignalRange = HasOutputRangeChoice(d.TypeId) ? std::uint8_t(v.rangeIndex + 1) : d.OutSignalRange;
    return w;
}

bool IsTransducerRefusal(const QString& errorText) {
    for (int code = 0; code <= 255; ++code)
        if (errorText == modbus::ModbusErrorText(std::uint8_t(code)))
            return true;
    return false;
}

TCurrentLimits CalibrCurrentLimits(int step, std::uint8_t typeId) {
    TCurrentLimits l;
    if (!HasCurrentOutput(typeId))
        return l;
    if (step == 3 && HasOutputRangeChoice(typeId))
        l = {true, 0, 200, 100,
             QStringLiteral("Нижнее значение выходного сигнала должно быть от 0 до 200 мкА!")};
    else if (step == 3)
        l = {true, 3800, 4200, 4000,
             QStringLiteral("Нижнее значение выходного сигнала должно быть от 3800 до 4200 мкА!")};
    else if (step == 4)
        l = {true, 19000, 21000, 20000,
             QStringLiteral("Нижнее значение выходного сигнала должно быть от 19000 до 21000 мкА!")};
    return l;
}

QString FormatFixed(std::int64_t value, int decimals, const QLocale& locale) {
    const bool negative = value < 0;
    const std::uint64_t magnitude = negative ? std::uint64_t(0) - std::uint64_t(value) : std::uint64_t(value);
    std::uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    QString text = QString::number(magnitude / scale);
    if (decimals > 0)
        text += locale.decimalPoint() +
                QString::number(magnitude % scale).rightJustified(decimals, QLatin1Char('0'));
    return negative ? locale.negativeSign() + text : text;
}

TDiagDisplay DiagDisplay(const TTarvoDevice& d, const QLocale& locale) {
    const TDiagData& g = d.DiagData;
    TDiagDisplay s;
    s.temperature = g.Temperature == tarvo::NoTemperature ? QStringLiteral("-------")
                                                          : FormatFixed(g.Temperature, 2, locale);
    if (d.SensorType < 1 || d.SensorType > 6) {
        s.ruLabel = QStringLiteral("U");
        s.ruUnits = QStringLiteral("мкВ");
        s.ru = FormatFixed(g.RawValue, 0, locale);
    } else {
        s.ruLabel = QStringLiteral("R");
        s.ruUnits = QStringLiteral("Ом");
        s.ru = FormatFixed(g.RawValue, 3, locale);
        if (d.ConnScheme == 3) {
            s.rlineEnabled = true;
            s.rline = FormatFixed(g.RLineForTS, 3, locale);
        }
    }
    s.bodyTemperature = FormatFixed(g.TarvoDeviceBodyTemp, 2, locale);
    // A text that breaks its line with LF CR (or CR LF) shows one line break, not a blank at the start of
    // the next line.
    s.selfDiag = SelfDiagText(g.SelfDiagCode);
    s.selfDiag.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    s.selfDiag.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.selfDiag.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (g.CalibrationDate_Day != 0 && g.CalibrationDate_Month != 0 && g.CalibrationDate_Year != 0)
        s.calibrDate = QStringLiteral("%1.%2.%3")
                           .arg(g.CalibrationDate_Day, 2, 10, QLatin1Char('0'))
                           .arg(g.CalibrationDate_Month, 2, 10, QLatin1Char('0'))
                           .arg(g.CalibrationDate_Year, 4, 10, QLatin1Char('0'));
    else
        s.calibrDate = QStringLiteral("--------");
    s.calibrNumber = QString::number(g.CalibrationNumber);
    return s;
}

QString NsxPrompt(int sensorType) {
    std::int32_t from = 0, to = 0;
    GetNsxBand(sensorType, from, to);
    return QStringLiteral("Введите значение измеренной температуры\r\n менее ") + QString::number(from) +
           QStringLiteral(" °C или более ") + QString::number(to) + QStringLiteral(" °C");
}

int IndicatorCells(const QString& text) {
    int cells = 0;
    bool afterChar = false;
    for (const QChar c : text) {
        const bool point = c == QLatin1Char('.') || c == QLatin1Char(',');
        if (point && afterChar) {
            afterChar = false; // lights the point of the previous cell
            continue;
        }
        ++cells;
        afterChar = !point;
    }
    return cells;
}

QString FitIndicatorText(const QString& text, int cells) {
    if (IndicatorCells(text) <= cells)
        return text;
    bool digits = false;
    for (const QChar c : text)
        digits = digits || c.isDigit();
    if (!digits)
        return text;
    const QString trimmed = text.trimmed();
    const bool negative = trimmed.startsWith(QLatin1Char('-')) || trimmed.startsWith(QChar(0x2212));
    return negative ? QStringLiteral("-OL") : QStringLiteral("OL");
}

QString SensorNameRefusal(const QString& name) {
    QStringList bad;
    for (const char32_t cp : name.toUcs4()) {
        QString item;
        if (cp == U'\t')
            item = QStringLiteral("табуляция");
        else if (cp == U'\n' || cp == U'\r')
            item = QStringLiteral("перевод строки");
        else if (cp < 0x20 || cp == 0x7F)
            item = QStringLiteral("управляющий символ U+") +
                   QStringLiteral("%1").arg(unsigned(cp), 4, 16, QLatin1Char('0')).toUpper();
        else if (cp != U'?' && EncodeWin1251(QString::fromUcs4(&cp, 1)) == QByteArrayLiteral("?"))
            item = QStringLiteral("«") + QString::fromUcs4(&cp, 1) + QStringLiteral("»");
        if (!item.isEmpty() && !bad.contains(item))
            bad << item;
    }
    if (bad.isEmpty())
        return {};
    return QStringLiteral("Тип датчика содержит символы, которые преобразователь не может хранить: ") +
           bad.join(QStringLiteral(", ")) + QStringLiteral(". Замените их.");
}
