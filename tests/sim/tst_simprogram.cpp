// The tarvo-sim program's own options: commands on standard input, the --send client, saving at the
// end, refusing a folder another simulator serves, and clear errors for bad options and files.
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Sim = QStringLiteral(TARVO_SIM_EXECUTABLE);

// Starts the simulator and waits for its "started" line; the lines before it go to `out`.
bool StartSim(QProcess& p, const QStringList& args, QByteArray* out = nullptr) {
    p.start(Sim, args);
    if (!p.waitForStarted(5000))
        return false;
    QByteArray lines;
    while (!lines.contains("started")) {
        if (!p.waitForReadyRead(5000))
            return false;
        lines += p.readAllStandardOutput();
    }
    if (out)
        *out = lines;
    return true;
}

QByteArray Run(const QStringList& args, int* exitCode) {
    QProcess p;
    p.start(Sim, args);
    p.waitForFinished(10000);
    *exitCode = p.exitCode();
    return p.readAllStandardOutput() + p.readAllStandardError();
}

} // namespace

class TestSimProgram : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commandsOnStandardInput() {
        QTemporaryDir dir;
        QProcess p;
        QByteArray lines;
        QVERIFY(StartSim(
            p, {QStringLiteral("--link-dir"), dir.path(), QStringLiteral("--control"), QStringLiteral("-")},
            &lines));
        QVERIFY(lines.startsWith("ready 0 " + QFile::encodeName(dir.filePath(QStringLiteral("bus0"))) +
                                 "\nready 1 "));
        p.write("get 1:3 type\nfly\n");
        QTRY_VERIFY(p.canReadLine());
        QCOMPARE(p.readLine(), QByteArray("ok 77\n"));
        QTRY_VERIFY(p.canReadLine());
        QVERIFY(p.readLine().startsWith("error unknown command 'fly'"));
        p.closeWriteChannel(); // whoever controlled it is gone: it ends, and cleans up
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(!QFileInfo(dir.filePath(QStringLiteral("bus0"))).isSymLink());
    }

    void sendClientSaveAtTheEndAndASecondSimulator() {
        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("state.json"));
        QProcess p;
        QVERIFY(StartSim(p, {QStringLiteral("--link-dir"), dir.path(), QStringLiteral("--save"), saved}));
        int code = -1;
        const QStringList send{QStringLiteral("--link-dir"), dir.path(), QStringLiteral("--send")};
        QCOMPARE(Run(send + QStringList{QStringLiteral("set 0:5 sensorname Термопара 3")}, &code),
                 QByteArray("ok\n"));
        QCOMPARE(code, 0);
        QVERIFY(Run(send + QStringList{QStringLiteral("set 0:5 nothing 1")}, &code).startsWith("error "));
        QCOMPARE(code, 1);
        // The folder is taken: a second simulator refuses instead of stealing the links.
        const QByteArray second = Run({QStringLiteral("--link-dir"), dir.path()}, &code);
        QCOMPARE(code, 2);
        QVERIFY2(second.contains("another simulator is running"), second.constData());
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("bus0"))).isSymLink());

        p.terminate();
        QVERIFY(p.waitForFinished(5000));
        QFile f(saved);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QJsonObject bus0 =
            QJsonDocument::fromJson(f.readAll()).object()[QLatin1String("buses")][0].toObject();
        QCOMPARE(bus0[QLatin1String("transducers")][1][QLatin1String("sensorname")].toString(),
                 QStringLiteral("Термопара 3"));
    }

    void badStartsAreExplained_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--colour")} << QByteArray()
                                        << QByteArray("unknown option '--colour'");
        QTest::newRow("option without value") << QStringList{QStringLiteral("--config")} << QByteArray()
                                              << QByteArray("option --config needs a value");
        QTest::newRow("missing file")
            << QStringList{QStringLiteral("--config"), QStringLiteral("/nonexistent.json")} << QByteArray()
            << QByteArray("cannot read /nonexistent.json");
        QTest::newRow("broken file") << QStringList() << QByteArray("{\"buses\": [{\"rate\": 19200,}]}")
                                     << QByteArray("not valid JSON");
    }
    void badStartsAreExplained() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, json);
        QFETCH(QByteArray, message);
        QTemporaryDir dir;
        if (!json.isEmpty()) {
            QFile f(dir.filePath(QStringLiteral("bad.json")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(json);
            args << QStringLiteral("--config") << f.fileName();
        }
        int code = -1;
        const QByteArray out = Run(QStringList{QStringLiteral("--link-dir"), dir.path()} + args, &code);
        QCOMPARE(code, 2);
        QVERIFY2(out.contains("tarvo-sim: ") && out.contains(message), out.constData());
    }
};

QTEST_GUILESS_MAIN(TestSimProgram)
#include "tst_simprogram.moc"
