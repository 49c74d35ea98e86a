// Colour scheme files: reading section "Kvelt", the errors and what start-up does with them, the window
// colour rules, and the shipped schemes as style sheets that read well.
#include "ColorScheme.h"
#include "IniFile.h"
#include "SchemeStyle.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

class TstColorScheme : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keys_data();
    void keys();
    void errors_data();
    void errors();
    void invalidValueStopsReading_data();
    void invalidValueStopsReading();
    void windowColour_data();
    void windowColour();
    void startupGoesOnWithBuiltIn();
    void shippedSchemes_data();
    void shippedSchemes();
    void blackWindowStaysReadable();

private:
    QString Write(const QString& name, const QByteArray& bytes);
    QTemporaryDir FDir;
};

namespace {

// One value of the manager by a short name.
int Field(const TKvStyleManager& m, const QString& name) {
    const QMap<QString, int> v = {
        {QStringLiteral("ShowFocusRect"), m.ShowFocusRect},
        {QStringLiteral("HotTrack"), m.HotTrack},
        {QStringLiteral("GradientBorder"), m.GradientBorder},
        {QStringLiteral("TextShadow"), m.TextShadow},
        {QStringLiteral("CheckColor"), m.CheckColor},
        {QStringLiteral("FadeSpeed"), m.FadeSpeed},
        {QStringLiteral("PanelColor"), m.PanelColor},
        {QStringLiteral("BorderColor"), m.BorderColor},
        {QStringLiteral("Control.DefaultFrom"), m.ControlColors.DefaultFrom},
        {QStringLiteral("Control.HotTrack"), m.ControlColors.HotTrack},
        {QStringLiteral("Control.BorderColor"), m.ControlColors.BorderColor},
        {QStringLiteral("Splitter.OverFrom"), m.SplitterColors.OverFrom},
        {QStringLiteral("Font.Size"), m.Font.Size},
        {QStringLiteral("Font.Height"), m.Font.Height},
        {QStringLiteral("Font.Color"), m.Font.Color},
        {QStringLiteral("Font.Pitch"), m.Font.Pitch},
        {QStringLiteral("Font.Style"), m.Font.Style},
    };
    return v.value(name, -12345);
}

QString SchemesDir() {
    return QStringLiteral(SCHEMES_DIR);
}

} // namespace

QString TstColorScheme::Write(const QString& name, const QByteArray& bytes) {
    const QString path = FDir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

void TstColorScheme::keys_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("value");
    const TKvStyleManager b;
    QTest::newRow("N colour") << QByteArray("TKvStyleManagerNCheckColor=255") << "CheckColor" << 255;
    QTest::newRow("names in any case") << QByteArray("tkvstylemanagerncheckcolor=255") << "CheckColor" << 255;
    QTest::newRow("E flag False") << QByteArray("TKvStyleManagerEHotTrack=False") << "HotTrack" << 0;
    QTest::newRow("E flag in lower case") << QByteArray("TKvStyleManagerEShowFocusRect=true") << "ShowFocusRect" << 1;
    QTest::newRow("E fade speed") << QByteArray("TKvStyleManagerEFadeSpeed=fsSlow") << "FadeSpeed" << 0;
    QTest::newRow("manager border") << QByteArray("TKvStyleManagerNBorderColor=7") << "BorderColor" << 7;
    QTest::newRow("button hot-track") << QByteArray("TKvControlColorsNHotTrack=16711680") << "Control.HotTrack"
                                      << 16711680;
    QTest::newRow("button border, not the manager's") << QByteArray("TKvControlColorsNBorderColor=9")
                                                      << "BorderColor" << b.BorderColor;
    QTest::newRow("splitter") << QByteArray("TKvSplitterColorsNOverFrom=1") << "Splitter.OverFrom" << 1;
    QTest::newRow("font size sets height") << QByteArray("TFontNSize=12") << "Font.Height" << -16;
    QTest::newRow("font height sets size") << QByteArray("TFontNHeight=-13") << "Font.Size" << 10;
    QTest::newRow("system colour") << QByteArray("TFontNColor=-16777208") << "Font.Color" << int(clWindowText);
    QTest::newRow("S two elements") << QByteArray("TFontSStyle=[fsBold,fsItalic]") << "Font.Style" << 3;
    QTest::newRow("S blanks") << QByteArray("TFontSStyle=[ fsUnderline , fsstrikeout ]") << "Font.Style" << 12;
    QTest::newRow("S empty") << QByteArray("TFontSStyle=[]") << "Font.Style" << 0;
    QTest::newRow("E pitch") << QByteArray("TFontEPitch=fpFixed") << "Font.Pitch" << 2;
    QTest::newRow("N no number gives 0") << QByteArray("TKvStyleManagerNPanelColor=abc") << "PanelColor" << 0;
    QTest::newRow("N enormous gives 0") << QByteArray("TKvStyleManagerNPanelColor=99999999999999") << "PanelColor" << 0;
    QTest::newRow("N sets a flag") << QByteArray("TKvStyleManagerNHotTrack=0") << "HotTrack" << 0;
    QTest::newRow("N out of an enumeration skipped") << QByteArray("TKvStyleManagerNFadeSpeed=9") << "FadeSpeed"
                                                     << int(b.FadeSpeed);
    QTest::newRow("unknown property skipped") << QByteArray("TKvStyleManagerNCheckColr=1") << "CheckColor"
                                              << b.CheckColor;
    QTest::newRow("other letter skipped") << QByteArray("TKvStyleManagerXCheckColor=1") << "CheckColor"
                                          << b.CheckColor;
    QTest::newRow("unknown class skipped") << QByteArray("TKvButtonNCheckColor=1") << "CheckColor" << b.CheckColor;
    QTest::newRow("class name alone skipped") << QByteArray("TFont=1") << "Font.Size" << b.Font.Size;
}

void TstColorScheme::keys() {
    QFETCH(QByteArray, line);
    QFETCH(QString, field);
    QFETCH(int, value);
    const QString path = Write(QStringLiteral("keys.kvs"), "[Kvelt]\r\n" + line + "\r\n");
    TKvStyleManager m;
    const TSchemeLoad load = LoadStyleFile(path, m);
    QCOMPARE(load.Error, TSchemeError::None);
    QCOMPARE(Field(m, field), value);
}

void TstColorScheme::errors_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // "<dir>" makes a directory, "<none>" nothing
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    QTest::newRow("missing") << "missing.kvs" << QByteArray("<none>") << int(TSchemeError::FileNotExists)
                             << "File not exists!";
    QTest::newRow("directory") << "dir.kvs" << QByteArray("<dir>") << int(TSchemeError::FileNotExists)
                               << "File not exists!";
    QTest::newRow("empty") << "empty.kvs" << QByteArray() << int(TSchemeError::EmptyOrInvalid)
                           << "Empty or invalid file";
    QTest::newRow("only Other") << "other.kvs" << QByteArray("[Other]\r\nFormColor=255\r\n")
                                << int(TSchemeError::EmptyOrInvalid) << "Empty or invalid file";
    QTest::newRow("Kvelt without keys") << "nokeys.kvs" << QByteArray("[Kvelt]\r\n; nothing\r\n\r\n[Other]\r\n")
                                        << int(TSchemeError::EmptyOrInvalid) << "Empty or invalid file";
    QByteArray binary(2000, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 97 + 5) & 0xFF);
    QTest::newRow("binary") << "binary.kvs" << binary << int(TSchemeError::EmptyOrInvalid) << "Empty or invalid file";
}

void TstColorScheme::errors() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, error);
    QFETCH(QString, text);
    QString path = FDir.filePath(name);
    if (bytes == "<dir>")
        QDir().mkpath(path);
    else if (bytes != "<none>")
        path = Write(name, bytes);
    TKvStyleManager m;
    const TSchemeLoad load = LoadStyleFile(path, m);
    QCOMPARE(int(load.Error), error);
    QCOMPARE(SchemeErrorText(load), text);
    QVERIFY(m == TKvStyleManager());
}

void TstColorScheme::invalidValueStopsReading_data() {
    QTest::addColumn<QByteArray>("badLine");
    QTest::addColumn<QString>("value");
    QTest::newRow("E") << QByteArray("TKvStyleManagerEHotTrack=Maybe") << "Maybe";
    QTest::newRow("E on a number") << QByteArray("TKvStyleManagerECheckColor=Green") << "Green";
    QTest::newRow("S") << QByteArray("TFontSStyle=[fsBold,fsHeavy]") << "[fsBold,fsHeavy]";
    QTest::newRow("S on a flag") << QByteArray("TKvStyleManagerSHotTrack=[True]") << "[True]";
}

void TstColorScheme::invalidValueStopsReading() {
    QFETCH(QByteArray, badLine);
    QFETCH(QString, value);
    const QString path = Write(QStringLiteral("bad.kvs"), "[Kvelt]\r\nTKvStyleManagerNCheckColor=1\r\n" + badLine +
                                                              "\r\nTKvStyleManagerNPanelColor=2\r\n"
                                                              "[Other]\r\nFormColor=255\r\n");
    TKvStyleManager m;
    const TSchemeLoad load = LoadStyleFile(path, m);
    QCOMPARE(load.Error, TSchemeError::InvalidValue);
    QCOMPARE(load.Key, QString::fromLatin1(badLine.left(badLine.indexOf('='))));
    QCOMPARE(SchemeErrorText(load), QStringLiteral("Invalid property element: ") + value);
    QCOMPARE(m.CheckColor, 1);                        // before the bad key: applied
    QCOMPARE(m.PanelColor, TKvStyleManager().PanelColor); // after it: the built-in value
    QCOMPARE(m.HotTrack, true);

    // Start-up goes on, with the window colour of the file.
    const TAppliedScheme a = ApplyColorScheme(path, QPalette());
    QCOMPARE(a.Load.Error, TSchemeError::InvalidValue);
    QCOMPARE(a.Manager.CheckColor, 1);
    QCOMPARE(a.FormColor, QColor(0xFF, 0, 0));
    QCOMPARE(a.ColorShema, QStringLiteral("bad.kvs"));
}

void TstColorScheme::windowColour_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("colour"); // "face": the system's button face
    const QByteArray kvelt = "[Kvelt]\r\nTKvStyleManagerNCheckColor=1\r\n";
    QTest::newRow("FormColor") << "Blue.kvs" << kvelt + "[Other]\r\nFormColor=16711680\r\n" << "#0000ff";
    QTest::newRow("without Other: black") << "NoOther.kvs" << kvelt << "#000000";
    QTest::newRow("Standart in the name") << "Standart.kvs" << kvelt + "[Other]\r\nFormColor=255\r\n" << "face";
    QTest::newRow("Standart in a folder") << "Standart/My.kvs" << kvelt << "face";
    QTest::newRow("letter case counts") << "standart.kvs" << kvelt + "[Other]\r\nFormColor=255\r\n" << "#ff0000";
    QTest::newRow("system colour") << "System.kvs" << kvelt + "[Other]\r\nFormColor=-16777201\r\n" << "face";
}

void TstColorScheme::windowColour() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, colour);
    QPalette system;
    system.setColor(QPalette::Button, QColor(0x12, 0x34, 0x56));
    const QString path = Write(name, bytes);
    const TAppliedScheme a = ApplyColorScheme(path, system);
    QCOMPARE(a.Load.Error, TSchemeError::None);
    QCOMPARE(a.FormColor.name(), colour == QLatin1String("face") ? QStringLiteral("#123456") : colour);
    QCOMPARE(a.ColorShema, QFileInfo(path).fileName());
}

void TstColorScheme::startupGoesOnWithBuiltIn() {
    QPalette system;
    system.setColor(QPalette::Button, QColor(0x12, 0x34, 0x56));
    for (const QString& path : {FDir.filePath(QStringLiteral("Nowhere.kvs")),
                                Write(QStringLiteral("Empty.kvs"), "[Other]\r\nFormColor=0\r\n")}) {
        const TAppliedScheme a = ApplyColorScheme(path, system);
        QVERIFY(a.Load.Error != TSchemeError::None);
        QVERIFY(a.Manager == TKvStyleManager());
        // The windows keep the colour they have without a scheme instead of turning black.
        QCOMPARE(a.FormColor, QColor(0x12, 0x34, 0x56));
        QCOMPARE(a.ColorShema, QFileInfo(path).fileName());
    }
}

void TstColorScheme::shippedSchemes_data() {
    QTest::addColumn<QString>("path");
    const QDir dir(SchemesDir());
    const QStringList names = dir.entryList({QStringLiteral("*.kvs")}, QDir::Files, QDir::Name);
    QVERIFY(names.contains(QStringLiteral("Standart.kvs")));
    QVERIFY(names.size() >= 4);
    for (const QString& name : names)
        QTest::newRow(qPrintable(name)) << dir.filePath(name);
}

void TstColorScheme::shippedSchemes() {
    QFETCH(QString, path);
    const QPalette system = QApplication::palette();
    TKvStyleManager m;
    QCOMPARE(LoadStyleFile(path, m).Error, TSchemeError::None);
    QCOMPARE(TIniFile(path).ReadSectionKeys(QStringLiteral("Kvelt")).size(), 27); // every key, none unread
    if (path.endsWith(QLatin1String("/Standart.kvs")))
        QVERIFY(m == TKvStyleManager());
    const TAppliedScheme a = ApplyColorScheme(path, system);
    const TSchemeStyle s = BuildSchemeStyle(a.Manager, a.FormColor, system);
    const QColor font = ColorFromTColor(m.Font.Color, system);
    // The scheme's own text colour reads on everything it is drawn on; none needed replacing.
    QCOMPARE(s.WindowText, font);
    QCOMPARE(s.PanelText, font);
    QCOMPARE(s.ButtonText, font);
    const auto c = [&](TColor v) { return ColorFromTColor(v, system); };
    QVERIFY(ContrastRatio(font, c(m.ControlColors.OverFrom)) >= 4.5 || m.HotTrack);
    QVERIFY(ContrastRatio(s.HotTrack, s.FormColor) >= 3.0);
    QVERIFY(ContrastRatio(s.Palette.color(QPalette::Text), s.Palette.color(QPalette::Base)) >= 4.5);

    // The style sheet parses and draws the sample controls without a warning.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("style ?sheet|QPainter|QPixmap|QImage|parse"),
                                            QRegularExpression::CaseInsensitiveOption));
    ApplySchemeStyle(s);
    QWidget w;
    auto* layout = new QVBoxLayout(&w);
    auto* box = new QGroupBox(QStringLiteral("Панель"));
    auto* boxLayout = new QVBoxLayout(box);
    auto* radio = new QRadioButton(QStringLiteral("Радио"));
    radio->setChecked(true);
    boxLayout->addWidget(radio);
    auto* check = new QCheckBox(QStringLiteral("Флажок"));
    check->setChecked(true);
    boxLayout->addWidget(check);
    layout->addWidget(box);
    layout->addWidget(new QPushButton(QStringLiteral("Кнопка")));
    auto* tabs = new QTabWidget;
    tabs->addTab(new QWidget, QStringLiteral("Информация"));
    layout->addWidget(tabs);
    layout->addWidget(new QStatusBar);
    w.show();
    QVERIFY(!w.grab().isNull());
    QCOMPARE(w.palette().color(QPalette::Window), a.FormColor);
    QApplication::setPalette(system);
    qApp->setStyleSheet(QString());
}

void TstColorScheme::blackWindowStaysReadable() {
    // A scheme without "Other" makes the windows black; the system's dark window text would vanish.
    QPalette system;
    system.setColor(QPalette::WindowText, Qt::black);
    const TSchemeStyle s = BuildSchemeStyle(TKvStyleManager(), Qt::black, system);
    QCOMPARE(s.WindowText, QColor(Qt::white));
    QCOMPARE(s.PanelText, QColor(Qt::black)); // panels keep their light colour
    QVERIFY(ContrastRatio(s.Palette.color(QPalette::Text), s.Palette.color(QPalette::Base)) >= 4.5);
}

QTEST_MAIN(TstColorScheme)
#include "tst_colorscheme.moc"
