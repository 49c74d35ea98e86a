// The settings record at start-up and at closing, the port number rule and where the files lie.
#include "ProgSettings.h"
#include "ProgramFiles.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

class TstProgSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void startup_data();
    void startup();
    void garbageGivesDefaults_data();
    void garbageGivesDefaults();
    void closingWritesCompleteFile();
    void connectionType_data();
    void connectionType();
    void closingKeepsOtherLines();
    void closingUnwritableFile();
    void parsePortNumber_data();
    void parsePortNumber();
    void programPath();
    void settingsFilePath();
    void shippedFiles();
};

namespace {

// Settings as a line: the fields that start-up decides.
QString Summary(const TProgSettings& s) {
    return QStringLiteral("run=%1 num=%2 first=%3 last=%4 bar=%5 id=%6 port=%7 rep=%8 scheme=%9")
        .arg(int(s.ConnectBeforeRun))
        .arg(int(s.ToNum))
        .arg(int(s.ToFirst))
        .arg(int(s.ToLast))
        .arg(int(s.ViewToolBar))
        .arg(s.DefaultSlaveID)
        .arg(StartupPortName(s))
        .arg(s.RepeatNum)
        .arg(s.ColorShema);
}

TProgSettings Loaded(const QByteArray& bytes) {
    TProgSettings s;
    s.ToNum = false; // the file decides, not the record's initial values
    s.ViewToolBar = false;
    LoadSettings(TIniFile::FromBytes(bytes), s);
    return s;
}

const QString Defaults = QStringLiteral("run=0 num=1 first=0 last=0 bar=1 id=1 port=COM1 rep=2 scheme=Standart.kvs");

} // namespace

void TstProgSettings::initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
}

void TstProgSettings::startup_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no file") << QByteArray() << Defaults;
    QTest::newRow("other sections only") << QByteArray("[IndTStyle]\r\nIndGrap=3\r\n") << Defaults;
    QTest::newRow("toNum")
        << QByteArray("[Defaults]\r\nConnectBeforeRun=1\r\nConnectionType=toNum\r\n")
        << "run=1 num=1 first=0 last=0 bar=1 id=1 port=COM1 rep=2 scheme=Standart.kvs";
    QTest::newRow("TOFIRST in capitals")
        << QByteArray("[defaults]\r\nconnectbeforerun=7\r\nCONNECTIONTYPE=TOFIRST\r\n")
        << "run=1 num=0 first=1 last=0 bar=1 id=1 port=COM1 rep=2 scheme=Standart.kvs";
    QTest::newRow("tolast in lower case") << QByteArray("[Defaults]\r\nConnectionType=tolast\r\n")
                                          << "run=0 num=0 first=0 last=1 bar=1 id=1 port=COM1 rep=2 scheme=Standart.kvs";
    QTest::newRow("FindAll sets none") << QByteArray("[Defaults]\r\nConnectBeforeRun=1\r\nConnectionType=FindAll\r\n")
                                       << "run=1 num=0 first=0 last=0 bar=1 id=1 port=COM1 rep=2 scheme=Standart.kvs";
    QTest::newRow("empty type sets none") << QByteArray("[Defaults]\r\nConnectionType=\r\n")
                                          << "run=0 num=0 first=0 last=0 bar=1 id=1 port=COM1 rep=2 scheme=Standart.kvs";
    QTest::newRow("DefaultSlaveID 300 is 44") << QByteArray("[Defaults]\r\nDefaultSlaveID=300\r\n")
                                              << "run=0 num=1 first=0 last=0 bar=1 id=44 port=COM1 rep=2 scheme=Standart.kvs";
    QTest::newRow("low 8 bits of the other numbers")
        << QByteArray("[Defaults]\r\nDefaultComPortNum=268\r\nRepeatNum=-1\r\nViewToolBar=0\r\n")
        << "run=0 num=1 first=0 last=0 bar=0 id=1 port=COM12 rep=255 scheme=Standart.kvs";
    QTest::newRow("port by number") << QByteArray("[Defaults]\r\nDefaultComPortNum=7\r\nDefaultComPortName=\r\n")
                                    << "run=0 num=1 first=0 last=0 bar=1 id=1 port=COM7 rep=2 scheme=Standart.kvs";
    QTest::newRow("port name wins over number")
        << QByteArray("[Defaults]\r\nDefaultComPortNum=0\r\nDefaultComPortName=/dev/ttyUSB0\r\n")
        << "run=0 num=1 first=0 last=0 bar=1 id=1 port=/dev/ttyUSB0 rep=2 scheme=Standart.kvs";
    QTest::newRow("scheme name") << QByteArray("[Defaults]\r\nColorShema=Тёмная.kvs\r\n").replace("Тёмная", "\xD2\xB8\xEC\xED\xE0\xFF")
                                 << "run=0 num=1 first=0 last=0 bar=1 id=1 port=COM1 rep=2 scheme=Тёмная.kvs";
}

void TstProgSettings::startup() {
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);
    QCOMPARE(Summary(Loaded(file)), expected);
}

void TstProgSettings::garbageGivesDefaults_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expected");
    QTest::newRow("numbers that are none")
        << QByteArray("[Defaults]\r\nConnectBeforeRun=yes\r\nDefaultSlaveID=x\r\nRepeatNum=1e3\r\nViewToolBar=\r\n")
        << Defaults;
    QTest::newRow("huge numbers") << QByteArray("[Defaults]\r\nDefaultSlaveID=123456789012345678901234567890\r\n"
                                                "DefaultComPortNum=-99999999999\r\n")
                                  << Defaults;
    QByteArray binary(4096, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 131) & 0xFF);
    QTest::newRow("binary bytes") << binary << Defaults;
    QTest::newRow("binary before a good key")
        << QByteArray("\x00\x01\x02\xff\r\n[Defaults]\r\nDefaultSlaveID=9\r\n\xfe\xfd", 38)
        << "run=0 num=1 first=0 last=0 bar=1 id=9 port=COM1 rep=2 scheme=Standart.kvs";
    QTest::newRow("very long line without line end")
        << (QByteArray("[Defaults]\r\nDefaultSlaveID=5\r\nColorShema=") + QByteArray(1 << 20, 'a'))
        << QStringLiteral("run=0 num=1 first=0 last=0 bar=1 id=5 port=COM1 rep=2 scheme=") + QString(1 << 20, u'a');
    QTest::newRow("no line ends at all") << QByteArray("[Defaults]DefaultSlaveID=5 RepeatNum=3") << Defaults;
}

void TstProgSettings::garbageGivesDefaults() {
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);
    QCOMPARE(Summary(Loaded(file)), expected);
}

void TstProgSettings::closingWritesCompleteFile() {
    TIniFile file;
    TProgSettings s;
    SaveSettings(file, s, 1, QStringLiteral("COM1"));
    QCOMPARE(file.Bytes(), QByteArray("[Defaults]\r\n"
                                      "ConnectBeforeRun=0\r\n"
                                      "ConnectionType=toNum\r\n"
                                      "DefaultSlaveID=1\r\n"
                                      "DefaultComPortNum=1\r\n"
                                      "DefaultComPortName=COM1\r\n"
                                      "RepeatNum=2\r\n"
                                      "ColorShema=Standart.kvs\r\n"
                                      "ViewToolBar=1\r\n"));
    // What was written reads back as the same settings.
    TProgSettings back;
    LoadSettings(file, back);
    QCOMPARE(Summary(back), Summary(s));
}

void TstProgSettings::connectionType_data() {
    QTest::addColumn<bool>("toNum");
    QTest::addColumn<bool>("toFirst");
    QTest::addColumn<bool>("toLast");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << false << false << false << "";
    QTest::newRow("num") << true << false << false << "toNum";
    QTest::newRow("first") << false << true << false << "toFirst";
    QTest::newRow("last") << false << false << true << "toLast";
    QTest::newRow("num and first: later wins") << true << true << false << "toFirst";
    QTest::newRow("num and last: later wins") << true << false << true << "toLast";
    QTest::newRow("all: last wins") << true << true << true << "toLast";
}

void TstProgSettings::connectionType() {
    QFETCH(bool, toNum);
    QFETCH(bool, toFirst);
    QFETCH(bool, toLast);
    QFETCH(QString, text);
    TProgSettings s;
    s.ToNum = toNum;
    s.ToFirst = toFirst;
    s.ToLast = toLast;
    TIniFile file;
    SaveSettings(file, s, 1, QStringLiteral("COM1"));
    QCOMPARE(file.ReadString(QStringLiteral("Defaults"), QStringLiteral("ConnectionType"), QStringLiteral("?")), text);
}

void TstProgSettings::closingKeepsOtherLines() {
    const QByteArray before = "; my notes\r\n"
                              "[IndTStyle]\r\n"
                              "IndGrap=3\r\n"
                              "\r\n"
                              "[defaults]\r\n"
                              "defaultslaveid = 9\r\n"
                              "Unknown=keep me\r\n"
                              "[Tail]\r\n"
                              "x=1";
    TIniFile file = TIniFile::FromBytes(before);
    TProgSettings s;
    LoadSettings(file, s);
    s.ConnectBeforeRun = true;
    s.ToNum = false;
    s.ToFirst = true;
    SaveSettings(file, s, 300, QStringLiteral("COM12"));
    QCOMPARE(s.DefaultSlaveID, quint8(44));
    QCOMPARE(s.DefaultComPortNum, quint8(12));
    QCOMPARE(file.Bytes(), QByteArray("; my notes\r\n"
                                      "[IndTStyle]\r\n"
                                      "IndGrap=3\r\n"
                                      "\r\n"
                                      "[defaults]\r\n"
                                      "defaultslaveid =44\r\n"
                                      "Unknown=keep me\r\n"
                                      "ConnectBeforeRun=1\r\n"
                                      "ConnectionType=toFirst\r\n"
                                      "DefaultComPortNum=12\r\n"
                                      "DefaultComPortName=COM12\r\n"
                                      "RepeatNum=2\r\n"
                                      "ColorShema=Standart.kvs\r\n"
                                      "ViewToolBar=1\r\n"
                                      "[Tail]\r\n"
                                      "x=1"));

    // A device path: number 0, the name kept, and the next start takes the name.
    SaveSettings(file, s, 5, QStringLiteral("/dev/ttyUSB0"));
    TProgSettings next;
    LoadSettings(file, next);
    QCOMPARE(next.DefaultComPortNum, quint8(0));
    QCOMPARE(StartupPortName(next), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(next.DefaultSlaveID, quint8(5));
}

void TstProgSettings::closingUnwritableFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tarvo_TS.ini"));
    QVERIFY(QDir().mkpath(path)); // a directory where the file should be
    TIniFile file(path);
    TProgSettings s;
    SaveSettings(file, s, 17, QStringLiteral("COM3"));
    QCOMPARE(file.Save(), TIniError::CannotWrite);
    QVERIFY(QFileInfo(path).isDir());
    QCOMPARE(s.DefaultSlaveID, quint8(17)); // the record is still the closing state
}

void TstProgSettings::parsePortNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("error");
    QTest::newRow("COM3") << "COM3" << 3 << false;
    QTest::newRow("com12 lower case") << "com12" << 12 << false;
    QTest::newRow("with colon") << "COM4:" << 4 << false;
    QTest::newRow("colon then text") << "COM5: USB serial" << 5 << false;
    QTest::newRow("colon first, no number either way") << "COM:7" << 0 << true;
    QTest::newRow("COM300") << "COM300" << 300 << false;
    QTest::newRow("COMx") << "COMx" << 0 << true;
    QTest::newRow("COM alone") << "COM" << 0 << true;
    QTest::newRow("device path") << "/dev/ttyUSB0" << 0 << false;
    QTest::newRow("system name") << "ttyS1" << 0 << false;
    QTest::newRow("empty") << "" << 0 << false;
}

void TstProgSettings::parsePortNumber() {
    QFETCH(QString, text);
    QFETCH(int, number);
    QFETCH(bool, error);
    const TPortNumber n = ParsePortNumber(text);
    QCOMPARE(n.Number, number);
    QCOMPARE(n.Error == TPortNumberError::NotANumber, error);
    QCOMPARE(SavedPortNumber(text), quint8(number & 0xFF));
    if (error)
        QCOMPARE(PortNumberErrorText(text), QStringLiteral("'") + text.mid(3) + QStringLiteral("' is not a valid integer value"));
}

void TstProgSettings::programPath() {
    const TProgramPath p = SplitProgramPath(QStringLiteral("/opt/tarvo/bin/Tarvo_TS"));
    QCOMPARE(p.ProgDir, QStringLiteral("/opt/tarvo/bin"));
    QCOMPARE(p.ExeName, QStringLiteral("Tarvo_TS"));
    QCOMPARE(SplitProgramPath(QStringLiteral("Tarvo_TS")).ExeName, QStringLiteral("Tarvo_TS"));
}

void TstProgSettings::settingsFilePath() {
    QTemporaryDir dir;
    QCOMPARE(SettingsFilePath(dir.path()), dir.filePath(QStringLiteral("Tarvo_TS.ini")));
    const QString config =
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).filePath(QStringLiteral("Tarvo_TS.ini"));
    // A folder that is not there (or not writable) sends the file to the user's configuration folder.
    QCOMPARE(SettingsFilePath(dir.filePath(QStringLiteral("missing"))), config);
#ifdef Q_OS_UNIX
    if (getuid() != 0) { // root may write anywhere
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        QCOMPARE(SettingsFilePath(dir.path()), config);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
#endif
}

void TstProgSettings::shippedFiles() {
    QTemporaryDir prog;
    const QString rel = QStringLiteral("ColorSchemas/Test.kvs");
    // Nowhere: the path beside the program, so a message names it.
    QCOMPARE(ColorSchemePath(prog.path(), QStringLiteral("Test.kvs")), prog.filePath(rel));
    // In the program's data folder only.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QVERIFY(QDir().mkpath(data + QStringLiteral("/ColorSchemas")));
    QFile shared(data + u'/' + rel);
    QVERIFY(shared.open(QIODevice::WriteOnly));
    shared.close();
    QCOMPARE(ColorSchemePath(prog.path(), QStringLiteral("Test.kvs")), shared.fileName());
    // Beside the program first.
    QVERIFY(QDir().mkpath(prog.filePath(QStringLiteral("ColorSchemas"))));
    QFile beside(prog.filePath(rel));
    QVERIFY(beside.open(QIODevice::WriteOnly));
    beside.close();
    QCOMPARE(ColorSchemePath(prog.path(), QStringLiteral("Test.kvs")), prog.filePath(rel));
    QFile::remove(shared.fileName());
}

QTEST_GUILESS_MAIN(TstProgSettings)
#include "tst_progsettings.moc"
