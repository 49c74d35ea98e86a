// The private-profile reader/writer: what a read finds, that a write changes only its own line, and
// that a save never loses the old file.
#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TstIniFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readString_data();
    void readString();
    void parseInt_data();
    void parseInt();
    void sectionKeys();
    void cyrillicValues();
    void write_data();
    void write();
    void missingFile();
    void saveReplacesAtomically();
    void saveFailures();
};

namespace {

const QByteArray Sample = "; settings\r\n"
                          "[Defaults]\r\n"
                          "ConnectBeforeRun=1\r\n"
                          "  RepeatNum =  3  \r\n"
                          "Quoted=\"a b\"\r\n"
                          "Empty=\r\n"
                          "Dup=first\r\n"
                          "Dup=second\r\n"
                          "no key line\r\n"
                          ";Hidden=1\r\n"
                          "\r\n"
                          "[ other ]\r\n"
                          "Key=other\r\n"
                          "[defaults]\r\n"
                          "Late=1\r\n";

} // namespace

void TstIniFile::readString_data() {
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "Defaults" << "ConnectBeforeRun" << "1";
    QTest::newRow("names in any case") << "DEFAULTS" << "connectbeforerun" << "1";
    QTest::newRow("blanks around key and value") << "Defaults" << "RepeatNum" << "3";
    QTest::newRow("enclosing quotes dropped") << "Defaults" << "Quoted" << "a b";
    QTest::newRow("empty value") << "Defaults" << "Empty" << "";
    QTest::newRow("first of two keys") << "Defaults" << "Dup" << "first";
    QTest::newRow("comment is no key") << "Defaults" << "Hidden" << "<def>";
    QTest::newRow("blanks around section name") << "Other" << "Key" << "other";
    QTest::newRow("key of another section") << "Defaults" << "Key" << "<def>";
    QTest::newRow("second section of the same name unread") << "Defaults" << "Late" << "<def>";
    QTest::newRow("missing section") << "Nowhere" << "Key" << "<def>";
}

void TstIniFile::readString() {
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const TIniFile f = TIniFile::FromBytes(Sample);
    QCOMPARE(f.ReadString(section, key, QStringLiteral("<def>")), expected);
}

void TstIniFile::parseInt_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("decimal") << "300" << true << 300;
    QTest::newRow("blanks") << " 12 " << true << 12;
    QTest::newRow("negative") << "-11" << true << -11;
    QTest::newRow("plus") << "+5" << true << 5;
    QTest::newRow("hex dollar") << "$FF" << true << 255;
    QTest::newRow("hex 0x") << "0x1f" << true << 31;
    QTest::newRow("hex fills 32 bits") << "$80000008" << true << int(0x80000008u);
    QTest::newRow("int min") << "-2147483648" << true << std::numeric_limits<int>::min();
    QTest::newRow("int max") << "2147483647" << true << std::numeric_limits<int>::max();
    QTest::newRow("too big") << "2147483648" << false << 0;
    QTest::newRow("huge") << "99999999999999999999999" << false << 0;
    QTest::newRow("trailing garbage") << "12abc" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("sign only") << "-" << false << 0;
    QTest::newRow("hex prefix only") << "$" << false << 0;
    QTest::newRow("inner blank") << "1 2" << false << 0;
    QTest::newRow("fraction") << "1.5" << false << 0;
}

void TstIniFile::parseInt() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    int v = 0;
    QCOMPARE(ParseProfileInt(text, v), ok);
    if (ok)
        QCOMPARE(v, value);
    const TIniFile f = TIniFile::FromBytes("[s]\nk=" + text.toLatin1() + "\n");
    QCOMPARE(f.ReadInteger(QStringLiteral("s"), QStringLiteral("k"), -7), ok ? value : -7);
}

void TstIniFile::sectionKeys() {
    const TIniFile f = TIniFile::FromBytes(Sample);
    QCOMPARE(f.ReadSectionKeys(QStringLiteral("defaults")),
             QStringList({"ConnectBeforeRun", "RepeatNum", "Quoted", "Empty", "Dup", "Dup"}));
    QVERIFY(f.ReadSectionKeys(QStringLiteral("none")).isEmpty());
    QVERIFY(f.SectionExists(QStringLiteral("OTHER")));
    QVERIFY(!f.SectionExists(QStringLiteral("none")));
}

void TstIniFile::cyrillicValues() {
    // Windows-1251 both ways: "Схема" is C1 F5 E5 EC E0.
    TIniFile f = TIniFile::FromBytes("[s]\r\nname=\xD1\xF5\xE5\xEC\xE0\r\n");
    QCOMPARE(f.ReadString(QStringLiteral("s"), QStringLiteral("name"), QString()), QStringLiteral("Схема"));
    f.WriteString(QStringLiteral("s"), QStringLiteral("name"), QStringLiteral("Тёмная"));
    QCOMPARE(f.Bytes(), QByteArray("[s]\r\nname=\xD2\xB8\xEC\xED\xE0\xFF\r\n"));
}

void TstIniFile::write_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("empty file") << QByteArray() << "Defaults" << "A" << "1" << QByteArray("[Defaults]\r\nA=1\r\n");
    QTest::newRow("value replaced in place, key spelling and blanks kept")
        << QByteArray("; c\r\n[Defaults]\r\n  repeatnum = 3 \r\nX=1\r\n") << "defaults" << "RepeatNum" << "5"
        << QByteArray("; c\r\n[Defaults]\r\n  repeatnum =5\r\nX=1\r\n");
    QTest::newRow("key added after the last line, before blank lines")
        << QByteArray("[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n") << "A" << "z" << "3"
        << QByteArray("[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\ny=2\r\n");
    QTest::newRow("key added to the last section without a final line end")
        << QByteArray("[a]\nx=1") << "a" << "z" << "3" << QByteArray("[a]\nx=1\nz=3\n");
    QTest::newRow("section added with the file's line ends")
        << QByteArray("[a]\nx=1\n") << "b" << "k" << "v" << QByteArray("[a]\nx=1\n[b]\nk=v\n");
    QTest::newRow("section added after a file without a final line end")
        << QByteArray("junk") << "b" << "k" << "v" << QByteArray("junk\r\n[b]\r\nk=v\r\n");
    QTest::newRow("only the first of two keys")
        << QByteArray("[a]\r\nk=1\r\nk=2\r\n") << "a" << "k" << "9" << QByteArray("[a]\r\nk=9\r\nk=2\r\n");
    QTest::newRow("lone CR line ends kept") << QByteArray("[a]\rk=1\r[b]\r") << "a" << "k" << "2"
                                            << QByteArray("[a]\rk=2\r[b]\r");
    QTest::newRow("binary bytes elsewhere kept")
        << QByteArray("\x00\xff[\x01\r\n[a]\r\nk=\x00\r\n", 16) << "a" << "k" << "1"
        << QByteArray("\x00\xff[\x01\r\n[a]\r\nk=1\r\n", 16);
    QTest::newRow("line break in a value becomes a blank")
        << QByteArray() << "a" << "k" << "x\r\ny" << QByteArray("[a]\r\nk=x  y\r\n");
}

void TstIniFile::write() {
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    TIniFile f = TIniFile::FromBytes(before);
    f.WriteString(section, key, value);
    QCOMPARE(f.Bytes(), after);
    QCOMPARE(f.ReadString(section, key, QString()), QString(value).replace(u'\r', u' ').replace(u'\n', u' '));
}

void TstIniFile::missingFile() {
    QTemporaryDir dir;
    const TIniFile none(dir.filePath(QStringLiteral("none.ini")));
    QVERIFY(none.Bytes().isEmpty());
    QCOMPARE(none.ReadInteger(QStringLiteral("a"), QStringLiteral("b"), 42), 42);
    const TIniFile folder(dir.path()); // a directory in place of the file reads as empty
    QVERIFY(folder.Bytes().isEmpty());
}

void TstIniFile::saveReplacesAtomically() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/x.ini")); // the folder is made
    TIniFile f(path);
    f.WriteInteger(QStringLiteral("a"), QStringLiteral("k"), 1);
    QCOMPARE(f.Save(), TIniError::None);
    TIniFile g(path);
    QCOMPARE(g.Bytes(), QByteArray("[a]\r\nk=1\r\n"));
    g.WriteInteger(QStringLiteral("a"), QStringLiteral("k"), 2);
    QCOMPARE(g.Save(), TIniError::None);
    QCOMPARE(TIniFile(path).Bytes(), QByteArray("[a]\r\nk=2\r\n"));
    // No temporary file is left behind.
    QCOMPARE(QDir(dir.filePath(QStringLiteral("sub"))).entryList(QDir::Files), QStringList{"x.ini"});
}

void TstIniFile::saveFailures() {
    QTemporaryDir dir;
    // A directory in place of the file: nothing is written, the directory and its contents stay.
    const QString asDir = dir.filePath(QStringLiteral("d.ini"));
    QVERIFY(QDir().mkpath(asDir + QStringLiteral("/inside")));
    TIniFile f(asDir);
    f.WriteInteger(QStringLiteral("a"), QStringLiteral("k"), 1);
    QCOMPARE(f.Save(), TIniError::CannotWrite);
    QVERIFY(QFileInfo(asDir + QStringLiteral("/inside")).isDir());
    QVERIFY(!IniErrorText(TIniError::CannotWrite, asDir).isEmpty());

    // A file in place of the folder.
    QFile plain(dir.filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QCOMPARE(f.SaveAs(dir.filePath(QStringLiteral("plain/x.ini"))), TIniError::NoFolder);
    QVERIFY(IniErrorText(TIniError::None, asDir).isEmpty());
}

QTEST_GUILESS_MAIN(TstIniFile)
#include "tst_inifile.moc"
