#include "ProgSettings.h"

namespace {

const QString Section = QString::fromUtf16(SettingsSection);

quint8 Low8(int v) {
    return static_cast<quint8>(v & 0xFF);
}

// The part after "COM" of `text`, up to `end` (exclusive) or to the end when `end` is -1.
QString NumberPart(const QString& text, qsizetype end) {
    return end < 0 ? text.mid(3) : text.mid(3, end - 3);
}

} // namespace

void LoadSettings(const TIniFile& file, TProgSettings& s) {
    s.ConnectBeforeRun = file.ReadBool(Section, QStringLiteral("ConnectBeforeRun"), false);
    const QString type = file.ReadString(Section, QStringLiteral("ConnectionType"), QStringLiteral("toNum"));
    s.ToNum = type.compare(QLatin1String("toNum"), Qt::CaseInsensitive) == 0;
    s.ToFirst = type.compare(QLatin1String("toFirst"), Qt::CaseInsensitive) == 0;
    s.ToLast = type.compare(QLatin1String("toLast"), Qt::CaseInsensitive) == 0;
    s.DefaultSlaveID = Low8(file.ReadInteger(Section, QStringLiteral("DefaultSlaveID"), 1));
    s.DefaultComPortNum = Low8(file.ReadInteger(Section, QStringLiteral("DefaultComPortNum"), 1));
    s.DefaultComPortName = file.ReadString(Section, QStringLiteral("DefaultComPortName"), QString());
    s.RepeatNum = Low8(file.ReadInteger(Section, QStringLiteral("RepeatNum"), 2));
    s.ColorShema = file.ReadString(Section, QStringLiteral("ColorShema"), QStringLiteral("Standart.kvs"));
    s.ViewToolBar = file.ReadBool(Section, QStringLiteral("ViewToolBar"), true);
}

QString StartupPortName(const TProgSettings& s) {
    if (!s.DefaultComPortName.isEmpty())
        return s.DefaultComPortName;
    return QStringLiteral("COM") + QString::number(s.DefaultComPortNum);
}

QString ConnectionTypeText(const TProgSettings& s) {
    QString text;
    if (s.ToNum)
        text = QStringLiteral("toNum");
    if (s.ToFirst)
        text = QStringLiteral("toFirst");
    if (s.ToLast)
        text = QStringLiteral("toLast");
    return text;
}

void SaveSettings(TIniFile& file, TProgSettings& s, int slaveIdInUse, const QString& portNameInUse) {
    s.DefaultSlaveID = Low8(slaveIdInUse);
    s.DefaultComPortNum = SavedPortNumber(portNameInUse);
    s.DefaultComPortName = portNameInUse;
    file.WriteBool(Section, QStringLiteral("ConnectBeforeRun"), s.ConnectBeforeRun);
    file.WriteString(Section, QStringLiteral("ConnectionType"), ConnectionTypeText(s));
    file.WriteInteger(Section, QStringLiteral("DefaultSlaveID"), s.DefaultSlaveID);
    file.WriteInteger(Section, QStringLiteral("DefaultComPortNum"), s.DefaultComPortNum);
    file.WriteString(Section, QStringLiteral("DefaultComPortName"), s.DefaultComPortName);
    file.WriteInteger(Section, QStringLiteral("RepeatNum"), s.RepeatNum);
    file.WriteString(Section, QStringLiteral("ColorShema"), s.ColorShema);
    file.WriteBool(Section, QStringLiteral("ViewToolBar"), s.ViewToolBar);
}

TPortNumber ParsePortNumber(const QString& text) {
    TPortNumber r;
    if (!text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return r;
    const qsizetype colon = text.indexOf(u':');
    if (colon >= 0 && ParseProfileInt(NumberPart(text, colon), r.Number))
        return r;
    if (ParseProfileInt(NumberPart(text, -1), r.Number))
        return r;
    r.Number = 0;
    r.Error = TPortNumberError::NotANumber;
    return r;
}

QString PortNumberErrorText(const QString& text) {
    return IntegerErrorText(NumberPart(text, -1));
}

QString IntegerErrorText(const QString& text) {
    return QStringLiteral("'") + text + QStringLiteral("' is not a valid integer value");
}

quint8 SavedPortNumber(const QString& portName) {
    const TPortNumber n = ParsePortNumber(portName);
    return n.Error == TPortNumberError::None ? Low8(n.Number) : 0;
}
