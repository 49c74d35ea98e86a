#include "ColorScheme.h"

#include <QFileInfo>

#include <functional>

namespace {

// One published property of a part of the manager.
struct TProp {
    enum Kind { Int, Enum, Set };
    QLatin1String name;
    Kind kind;
    QStringList names; // value names of an Enum, element names of a Set
    std::function<void(int)> set;
};

const QStringList BoolNames = {QStringLiteral("False"), QStringLiteral("True")};

std::function<void(int)> SetBool(bool& field) {
    return [&field](int v) { field = v != 0; };
}

std::function<void(int)> SetInt(TColor& field) {
    return [&field](int v) { field = v; };
}

int MulDiv(int a, int b, int c) {
    return int((qint64(a) * b + (c / 2) * ((qint64(a) * b) < 0 ? -1 : 1)) / c);
}

QList<TProp> ManagerProps(TKvStyleManager& m) {
    return {
        {QLatin1String("ShowFocusRect"), TProp::Enum, BoolNames, SetBool(m.ShowFocusRect)},
        {QLatin1String("HotTrack"), TProp::Enum, BoolNames, SetBool(m.HotTrack)},
        {QLatin1String("GradientBorder"), TProp::Enum, BoolNames, SetBool(m.GradientBorder)},
        {QLatin1String("TextShadow"), TProp::Enum, BoolNames, SetBool(m.TextShadow)},
        {QLatin1String("CheckColor"), TProp::Int, {}, SetInt(m.CheckColor)},
        {QLatin1String("FadeSpeed"),
         TProp::Enum,
         {QStringLiteral("fsSlow"), QStringLiteral("fsMedium"), QStringLiteral("fsFast"), QStringLiteral("fsVeryFast")},
         [&m](int v) { m.FadeSpeed = TKvStyleManager::TFadeSpeed(v); }},
        {QLatin1String("PanelColor"), TProp::Int, {}, SetInt(m.PanelColor)},
        {QLatin1String("BorderColor"), TProp::Int, {}, SetInt(m.BorderColor)},
    };
}

QList<TProp> ControlProps(TKvControlColors& c) {
    return {
        {QLatin1String("DefaultFrom"), TProp::Int, {}, SetInt(c.DefaultFrom)},
        {QLatin1String("DefaultTo"), TProp::Int, {}, SetInt(c.DefaultTo)},
        {QLatin1String("OverFrom"), TProp::Int, {}, SetInt(c.OverFrom)},
        {QLatin1String("OverTo"), TProp::Int, {}, SetInt(c.OverTo)},
        {QLatin1String("ClickedFrom"), TProp::Int, {}, SetInt(c.ClickedFrom)},
        {QLatin1String("ClickedTo"), TProp::Int, {}, SetInt(c.ClickedTo)},
        {QLatin1String("HotTrack"), TProp::Int, {}, SetInt(c.HotTrack)},
        {QLatin1String("BorderColor"), TProp::Int, {}, SetInt(c.BorderColor)},
        {QLatin1String("TextShadow"), TProp::Int, {}, SetInt(c.TextShadow)},
    };
}

QList<TProp> SplitterProps(TKvSplitterColors& c) {
    return {
        {QLatin1String("DefaultFrom"), TProp::Int, {}, SetInt(c.DefaultFrom)},
        {QLatin1String("DefaultTo"), TProp::Int, {}, SetInt(c.DefaultTo)},
        {QLatin1String("OverFrom"), TProp::Int, {}, SetInt(c.OverFrom)},
        {QLatin1String("OverTo"), TProp::Int, {}, SetInt(c.OverTo)},
    };
}

QList<TProp> FontProps(TKvFont& f) {
    return {
        {QLatin1String("Charset"), TProp::Int, {}, SetInt(f.Charset)},
        {QLatin1String("Color"), TProp::Int, {}, SetInt(f.Color)},
        {QLatin1String("Height"), TProp::Int, {},
         [&f](int v) {
             f.Height = v;
             f.Size = -MulDiv(v, 72, 96);
         }},
        {QLatin1String("Size"), TProp::Int, {},
         [&f](int v) {
             f.Size = v;
             f.Height = -MulDiv(v, 96, 72);
         }},
        {QLatin1String("Pitch"),
         TProp::Enum,
         {QStringLiteral("fpDefault"), QStringLiteral("fpVariable"), QStringLiteral("fpFixed")},
         [&f](int v) { f.Pitch = TKvFont::TFontPitch(v); }},
        {QLatin1String("Style"),
         TProp::Set,
         {QStringLiteral("fsBold"), QStringLiteral("fsItalic"), QStringLiteral("fsUnderline"),
          QStringLiteral("fsStrikeOut")},
         [&f](int v) { f.Style = v; }},
    };
}

qsizetype IndexOfName(const QStringList& names, const QString& text) {
    for (qsizetype i = 0; i < names.size(); ++i)
        if (names[i].compare(text.trimmed(), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// A set in set notation ("[fsBold, fsItalic]", brackets optional) as a bit mask, or -1.
int ParseSet(const QStringList& names, QString text) {
    text = text.trimmed();
    if (text.startsWith(u'['))
        text.remove(0, 1);
    if (text.endsWith(u']'))
        text.chop(1);
    int mask = 0;
    if (text.trimmed().isEmpty())
        return mask;
    for (const QString& element : text.split(u',')) {
        const qsizetype i = IndexOfName(names, element);
        if (i < 0)
            return -1;
        mask |= 1 << i;
    }
    return mask;
}

enum class TSet { Done, Skipped, Invalid };

TSet SetProp(const TProp& p, QChar letter, const QString& value) {
    switch (letter.toUpper().unicode()) {
    case u'N': {
        int v = 0;
        if (!ParseProfileInt(value, v))
            v = 0;
        if (p.kind == TProp::Enum && (v < 0 || v >= p.names.size()))
            return TSet::Skipped; // an ordinal the enumeration does not have
        if (p.kind == TProp::Set && (v < 0 || v >= (1 << p.names.size())))
            return TSet::Skipped;
        p.set(v);
        return TSet::Done;
    }
    case u'E': {
        const qsizetype i = p.kind == TProp::Enum ? IndexOfName(p.names, value) : -1;
        if (i < 0)
            return TSet::Invalid;
        p.set(int(i));
        return TSet::Done;
    }
    case u'S': {
        const int mask = p.kind == TProp::Set ? ParseSet(p.names, value) : -1;
        if (mask < 0)
            return TSet::Invalid;
        p.set(mask);
        return TSet::Done;
    }
    default:
        break;
    }
    return TSet::Skipped;
}

} // namespace

QString SchemeErrorText(const TSchemeLoad& load) {
    switch (load.Error) {
    case TSchemeError::None:
        return QString();
    case TSchemeError::FileNotExists:
        return QStringLiteral("File not exists!");
    case TSchemeError::EmptyOrInvalid:
        return QStringLiteral("Empty or invalid file");
    case TSchemeError::InvalidValue:
        break;
    }
    return QStringLiteral("Invalid property element: ") + load.Value;
}

TSchemeLoad LoadStyleFile(const QString& path, TKvStyleManager& m) {
    TSchemeLoad result;
    if (!QFileInfo(path).isFile()) {
        result.Error = TSchemeError::FileNotExists;
        return result;
    }
    return LoadStyleFile(TIniFile(path), m);
}

TSchemeLoad LoadStyleFile(const TIniFile& file, TKvStyleManager& m) {
    TSchemeLoad result;
    const QString section = QStringLiteral("Kvelt");
    const QStringList keys = file.ReadSectionKeys(section);
    if (keys.isEmpty()) {
        result.Error = TSchemeError::EmptyOrInvalid;
        return result;
    }
    const std::pair<QLatin1String, QList<TProp>> targets[] = {
        {QLatin1String("TKvStyleManager"), ManagerProps(m)},
        {QLatin1String("TKvControlColors"), ControlProps(m.ControlColors)},
        {QLatin1String("TKvSplitterColors"), SplitterProps(m.SplitterColors)},
        {QLatin1String("TFont"), FontProps(m.Font)},
    };
    for (const QString& key : keys) {
        for (const auto& [className, props] : targets) {
            if (!key.startsWith(className, Qt::CaseInsensitive) || key.size() <= className.size())
                continue;
            const QChar letter = key[className.size()];
            const QString name = key.mid(className.size() + 1);
            for (const TProp& p : props) {
                if (name.compare(p.name, Qt::CaseInsensitive) != 0)
                    continue;
                const QString value = file.ReadString(section, key, QString());
                if (SetProp(p, letter, value) == TSet::Invalid) {
                    result.Error = TSchemeError::InvalidValue;
                    result.Key = key;
                    result.Value = value;
                    return result;
                }
                break;
            }
            break;
        }
    }
    return result;
}

TColor ReadFormColor(const QString& path) {
    return TIniFile(path).ReadInteger(QStringLiteral("Other"), QStringLiteral("FormColor"), 0);
}

QColor SchemeWindowColor(const QString& path, TColor formColor, const QPalette& system) {
    if (path.contains(QLatin1String("Standart")))
        return system.color(QPalette::Active, QPalette::Button);
    return ColorFromTColor(formColor, system);
}

TAppliedScheme ApplyColorScheme(const QString& path, const QPalette& system) {
    TAppliedScheme a;
    a.Load = LoadStyleFile(path, a.Manager);
    const QString native = QString(path).replace(u'\\', u'/');
    a.ColorShema = native.mid(native.lastIndexOf(u'/') + 1);
    if (a.Load.Error == TSchemeError::FileNotExists || a.Load.Error == TSchemeError::EmptyOrInvalid) {
        a.Manager = TKvStyleManager();
        a.FormColor = system.color(QPalette::Active, QPalette::Button);
        return a;
    }
    a.FormColor = SchemeWindowColor(path, ReadFormColor(path), system);
    return a;
}
