// Rows of exchanges of both generations: directions, addresses, function names, verdicts, severities.
// Replies of the newer generation are judged by modbus::CheckReply, as its link judges them; the older
// link's kinds are given as that link publishes them.
#include "TrafficDecoder.h"

#include <QTest>

using namespace traffic;

Q_DECLARE_METATYPE(traffic::TGeneration)
Q_DECLARE_METATYPE(traffic::TOutcome)
Q_DECLARE_METATYPE(traffic::TSeverity)

namespace {

const std::uint8_t* bytes(const QByteArray& a) {
    return reinterpret_cast<const std::uint8_t*>(a.constData());
}

// "01 03 0031 000A+": hex tokens; "xN" is N filler bytes; a final '+' appends the CRC, '!' a wrong one.
QByteArray frameOf(const QString& pattern) {
    QString s = pattern.trimmed();
    char tail = 0;
    if (s.endsWith(QLatin1Char('+')) || s.endsWith(QLatin1Char('!'))) {
        tail = char(s.back().toLatin1());
        s.chop(1);
    }
    QByteArray f;
    for (const QString& token : s.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (token.startsWith(QLatin1Char('x')))
            f.append(QByteArray(token.mid(1).toInt(), char(0x41)));
        else
            f.append(QByteArray::fromHex(token.toLatin1()));
    }
    if (tail) {
        std::uint16_t crc = modbus::Crc16(bytes(f), std::size_t(f.size()));
        if (tail == '!')
            crc ^= 0x0101;
        f.append(char(crc & 0xFF));
        f.append(char(crc >> 8));
    }
    return f;
}

// The record a link publishes. For the newer generation an outcome of -1 means: judge the reply as the
// link does, with the request's fields as its context.
TTrafficExchange exchangeOf(TGeneration g, const QByteArray& request, const QByteArray& reply, int outcome,
                            int code, int attempt, const QString& linkText, int slaveAddr, int funcCode) {
    TTrafficExchange e;
    e.generation = g;
    e.port = QStringLiteral("ttyUSB0");
    e.bitRate = g == TGeneration::Newer ? 19200 : 1200;
    e.slaveAddr = std::uint8_t(slaveAddr);
    e.funcCode = std::uint8_t(funcCode);
    e.attempt = std::uint8_t(attempt);
    e.request = request;
    e.sentUs = 5'000'000;
    e.reply = reply;
    e.endUs = 5'020'000;
    e.anchorUs = 5'000'000;
    e.anchorWallMs = 1'700'000'000'000;
    e.linkText = linkText;
    if (outcome >= 0) {
        e.outcome = TOutcome(outcome);
        e.code = std::uint8_t(code);
        return e;
    }
    modbus::ReplyContext ctx;
    ctx.slaveAddr = e.slaveAddr;
    ctx.funcCode = e.funcCode;
    if (request.size() >= 3)
        ctx.step = bytes(request)[2];
    if (request.size() >= 6)
        ctx.regCount = std::uint16_t((bytes(request)[4] << 8) | bytes(request)[5]);
    const int n = int(reply.size());
    const modbus::ReplyCheck check = modbus::CheckReply(ctx, bytes(reply), n);
    const TJudgedReply j = OutcomeOfCheck(check, bytes(reply), n);
    e.outcome = j.outcome;
    e.code = j.code;
    return e;
}

QString twoDigits(int v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

} // namespace

class TestTrafficDecoder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rows_data();
    void rows();
    void timesOfTheRows();
    void hexAndMs();
};

void TestTrafficDecoder::rows_data() {
    QTest::addColumn<TGeneration>("generation");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("outcome"); // -1: judged by the newer codec
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("attempt");
    QTest::addColumn<QString>("linkText");
    QTest::addColumn<QString>("rows"); // direction|address|function per row, ';' between rows
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<TSeverity>("severity");

    const auto N = TGeneration::Newer;
    const auto O = TGeneration::Older;
    const auto ok = TSeverity::Ok;
    const auto warn = TSeverity::Warning;
    const auto bad = TSeverity::Failed;
    const QString none;
    const QString norm = QStringLiteral("Норма");
    const QString rd = QStringLiteral("Запрос|1|3 Чтение регистров;Ответ|1|3 Чтение регистров");

    // Good replies of every function of the newer program.
    QTest::newRow("new fn3") << N << "01 03 0031 000A+" << "01 03 14 x20+" << -1 << 0 << 1 << none << rd << norm << ok;
    QTest::newRow("new fn7") << N << "01 07+" << "01 07 5A+" << -1 << 0 << 1 << none
                             << "Запрос|1|7 Чтение состояния;Ответ|1|7 Чтение состояния" << norm << ok;
    QTest::newRow("new fn16") << N << "01 10 0031 0002 04 0001 0002+" << "01 10 0031 0002+" << -1 << 0 << 1 << none
                              << "Запрос|1|16 Запись регистров;Ответ|1|16 Запись регистров" << norm << ok;
    QTest::newRow("new fn17") << N << "01 11+" << "01 11 42 76 00 x64+" << -1 << 0 << 1 << none
                              << "Запрос|1|17 Идентификация;Ответ|1|17 Идентификация" << norm << ok;
    QTest::newRow("new fn100") << N << "01 64 03 00000FA0+" << "01 64 03+" << -1 << 0 << 1 << none
                               << "Запрос|1|100 Этап калибровки;Ответ|1|100 Этап калибровки" << norm << ok;
    QTest::newRow("new fn101") << N << "01 65 01+" << "01 65 01+" << -1 << 0 << 1 << none
                               << "Запрос|1|101 Подстройка \"0\";Ответ|1|101 Подстройка \"0\"" << norm << ok;
    QTest::newRow("new fn102") << N << "01 66 02 00000834+" << "01 66 02+" << -1 << 0 << 1 << none
                               << "Запрос|1|102 Подстройка НСХ;Ответ|1|102 Подстройка НСХ" << norm << ok;

    // Exceptions: every listed code and some unknown ones, each with the newer program's own text.
    const QString exRows = QStringLiteral("Запрос|1|3 Чтение регистров;Ответ|1|3 Чтение регистров (исключение)");
    QTest::newRow("new exception 02") << N << "01 03 0031 000A+" << "01 83 02+" << -1 << 0 << 1 << none << exRows
                                      << "Исключение 02: Недопустимый адрес данных" << bad;
    for (int code : {1, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16, 0, 17, 255})
        QTest::addRow("new exception %d", code)
            << N << "01 03 0031 000A+" << QStringLiteral("01 83 %1+").arg(code, 2, 16, QLatin1Char('0')) << -1 << 0
            << 1 << none << exRows << QStringLiteral("Исключение ") + twoDigits(code) + QStringLiteral(": ") +
                                           modbus::ModbusErrorText(std::uint8_t(code))
            << bad;
    QTest::newRow("new exception 09 unknown") << N << "01 03 0031 000A+" << "01 83 09+" << -1 << 0 << 1 << none
                                              << exRows
                                              << "Исключение 09: Преобразователь вернул неизвестный код ошибки"
                                              << bad;
    QTest::newRow("new exception of fn102")
        << N << "01 66 02 00000834+" << "01 E6 10+" << -1 << 0 << 1 << none
        << "Запрос|1|102 Подстройка НСХ;Ответ|1|102 Подстройка НСХ (исключение)"
        << "Исключение 16: Подстройка НСХ: операция не может быть выполнена, так как полученное действительное "
           "значение температуры отличается от измеренной преобразователем более чем на 10%"
        << bad;

    // Bad replies.
    QTest::newRow("new exception bad crc") << N << "01 03 0031 000A+" << "01 83 02!" << -1 << 0 << 1 << none << exRows
                                           << "Ошибка CRC ответного сообщения" << bad;
    QTest::newRow("new fn3 bad crc") << N << "01 03 0031 000A+" << "01 03 14 x20!" << -1 << 0 << 1 << none << rd
                                     << "Ошибка CRC ответного сообщения" << bad;
    QTest::newRow("new fn3 cut") << N << "01 03 0031 000A+" << "01 03 14 x21" << -1 << 0 << 1 << none << rd
                                 << "Недопустимая длина ответного сообщения (получено 24 из 25 байт)" << bad;
    QTest::newRow("new cut to one byte") << N << "01 03 0031 000A+" << "01" << -1 << 0 << 1 << none
                                         << "Запрос|1|3 Чтение регистров;Ответ|1|"
                                         << "Недопустимая длина ответного сообщения (получено 1 из 25 байт)" << bad;
    QTest::newRow("new wrong function") << N << "01 03 0031 000A+" << "01 04 14 x20+" << -1 << 0 << 1 << none
                                        << "Запрос|1|3 Чтение регистров;Ответ|1|4 неизвестная функция"
                                        << "Неверный код функции в ответном сообщении" << bad;
    QTest::newRow("new unknown exception function")
        << N << "01 03 0031 000A+" << "01 85 01+" << -1 << 0 << 1 << none
        << "Запрос|1|3 Чтение регистров;Ответ|1|5 неизвестная функция (исключение)"
        << "Неверный код функции в ответном сообщении" << bad;
    QTest::newRow("new older function byte") << N << "01 64 03 00000FA0+" << "01 4D 03+" << -1 << 0 << 1 << none
                                             << "Запрос|1|100 Этап калибровки;Ответ|1|77 неизвестная функция"
                                             << "Неверный код функции в ответном сообщении" << bad;
    QTest::newRow("new short normal reply") << N << "01 03 0031 000A+" << "01 03 02+" << -1 << 0 << 1 << none << rd
                                            << "Неверный формат ответного сообщения" << bad;
    QTest::newRow("new fn100 wrong step") << N << "01 64 03 00000FA0+" << "01 64 04+" << -1 << 0 << 1 << none
                                          << "Запрос|1|100 Этап калибровки;Ответ|1|100 Этап калибровки"
                                          << "Преобразователь вернул неверный порядковый номер этапа калибровки" << bad;
    QTest::newRow("new fn102 wrong step") << N << "01 66 01 00000000+" << "01 66 02+" << -1 << 0 << 1 << none
                                          << "Запрос|1|102 Подстройка НСХ;Ответ|1|102 Подстройка НСХ"
                                          << "Неверный порядковый номер этапа подстройки НСХ" << bad;
    QTest::newRow("new fn101 value 254") << N << "01 65 01+" << "01 65 FE+" << -1 << 0 << 1 << none
                                         << "Запрос|1|101 Подстройка \"0\";Ответ|1|101 Подстройка \"0\""
                                         << "Неверное значение поля данных" << bad;
    QTest::newRow("new foreign address") << N << "01 11+" << "02 11 42 76 00 x64+" << -1 << 0 << 1 << none
                                         << "Запрос|1|17 Идентификация;Ответ|2|17 Идентификация"
                                         << "Ответ от другого адреса 2" << bad;
    QTest::newRow("new silent") << N << "05 03 0011 0010+" << "" << -1 << 0 << 1 << none
                                << "Запрос|5|3 Чтение регистров" << "Превышен таймаут ожидания ответа" << bad;
    QTest::newRow("new port lost") << N << "01 03 0031 000A+" << "" << int(TOutcome::PortError) << 0 << 1 << none
                                   << "Запрос|1|3 Чтение регистров" << "Порт не доступен" << bad;
    QTest::newRow("new line busy") << N << "" << "" << int(TOutcome::NotSent) << 0 << 1
                                   << "Неизвестное устройство продолжает передачу"
                                   << "Не отправлено|1|3 Чтение регистров"
                                   << "Неизвестное устройство продолжает передачу" << bad;

    // The older program: its own names and texts; it judges by length and function byte only.
    const QString ord = QStringLiteral("Запрос|3|3 Чтение регистров;Ответ|3|3 Чтение регистров");
    const auto Ok = int(TOutcome::Ok);
    const auto Ex = int(TOutcome::Exception);
    QTest::newRow("old fn3") << O << "03 03 0018 0008+" << "03 03 10 x16+" << Ok << 0 << 1 << none << ord << norm << ok;
    QTest::newRow("old fn16") << O << "03 10 0018 0008 10 x16+" << "03 10 0018 0008+" << Ok << 0 << 1 << none
                              << "Запрос|3|16 Запись регистров;Ответ|3|16 Запись регистров" << norm << ok;
    QTest::newRow("old fn17") << O << "03 11+" << "03 11 32 4D x49+" << Ok << 0 << 1 << none
                              << "Запрос|3|17 Идентификация;Ответ|3|17 Идентификация" << norm << ok;
    QTest::newRow("old fn77") << O << "03 4D 01 00000000+" << "03 4D 01+" << Ok << 0 << 1 << none
                              << "Запрос|3|77 Этап калибровки;Ответ|3|77 Этап калибровки" << norm << ok;
    QTest::newRow("old fn78") << O << "03 4E 01+" << "03 4E 01+" << Ok << 0 << 1 << none
                              << "Запрос|3|78 Корректировка R0;Ответ|3|78 Корректировка R0" << norm << ok;
    QTest::newRow("old fn79") << O << "03 4F 01 03E8+" << "03 4F 01+" << Ok << 0 << 1 << none
                              << "Запрос|3|79 Корректировка НСХ;Ответ|3|79 Корректировка НСХ" << norm << ok;
    const QString oex = QStringLiteral("Запрос|3|78 Корректировка R0;Ответ|3|78 Корректировка R0 (исключение)");
    QTest::newRow("old exception 12") << O << "03 4E 01+" << "03 CE 0C+" << Ex << 12 << 1 << none << oex
                                      << "Исключение 12: Измеренная температура отклонилась от 0 °С более чем на 20 °С."
                                      << bad;
    for (int code : {1, 2, 3, 10, 11, 13, 14, 15, 16})
        QTest::addRow("old exception %d", code)
            << O << "03 4E 01+" << QStringLiteral("03 CE %1+").arg(code, 2, 16, QLatin1Char('0')) << Ex << code << 1
            << none << oex
            << QStringLiteral("Исключение ") + twoDigits(code) + QStringLiteral(": ") +
                   modbus::DeviceErrorText(std::uint8_t(code))
            << bad;
    QTest::newRow("old exception 05 not in its table")
        << O << "03 4E 01+" << "03 CE 05+" << Ex << 5 << 1 << none << oex << "Исключение 05: код не описан в программе"
        << bad;
    QTest::newRow("old accepted bad crc") << O << "03 03 0018 0008+" << "03 03 10 x16!" << Ok << 0 << 1 << none << ord
                                          << "Принят, но CRC ответа неверна" << warn;
    QTest::newRow("old accepted other address")
        << O << "03 03 0018 0008+" << "04 03 10 x16+" << Ok << 0 << 1 << none
        << "Запрос|3|3 Чтение регистров;Ответ|4|3 Чтение регистров" << "Принят, но ответ от адреса 4" << warn;
    QTest::newRow("old five bytes dropped") << O << "03 4D 01 00000000+" << "03 64 01+" << int(TOutcome::Ignored) << 0
                                            << 1 << none
                                            << "Запрос|3|77 Этап калибровки;Ответ|3|100 неизвестная функция"
                                            << "Пять байт без признака ошибки отброшены" << warn;
    QTest::newRow("old read again") << O << "" << "03 4D 01+" << Ok << 0 << 1 << none << "Ответ|3|77 Этап калибровки"
                                    << norm << ok;
    QTest::newRow("old no reply") << O << "03 11+" << "" << int(TOutcome::NoReply) << 0 << 1 << none
                                  << "Запрос|3|17 Идентификация" << "Не получен ответ от прибора" << bad;
    QTest::newRow("old resend") << O << "03 11+" << "03 11 32 4D x49+" << Ok << 0 << 2 << none
                                << "Запрос, попытка 2|3|17 Идентификация;Ответ|3|17 Идентификация" << norm << ok;
    QTest::newRow("old cut") << O << "03 03 0018 0008+" << "03 03 10 x10" << int(TOutcome::WrongLength) << 0 << 1
                             << none << ord << "Недопустимая длина ответного сообщения (получено 13 из 21 байт)" << bad;
    QTest::newRow("old write refused") << O << "03 10 0018 0008 10 x16+" << "03 03 0018 0008+"
                                       << int(TOutcome::WrongFunction) << 0 << 1 << "Невозможно выполнить команду"
                                       << "Запрос|3|16 Запись регистров;Ответ|3|3 Чтение регистров"
                                       << "Невозможно выполнить команду" << bad;
    QTest::newRow("old write broke off") << O << "03 10 00" << "" << int(TOutcome::PortError) << 0 << 1 << none
                                         << "Запрос|3|16 Запись регистров" << "Нет связи с прибором" << bad;
    QTest::newRow("old newer function") << O << "03 64 03 00000FA0+" << "" << int(TOutcome::NoReply) << 0 << 1 << none
                                        << "Запрос|3|100 неизвестная функция" << "Не получен ответ от прибора" << bad;
}

void TestTrafficDecoder::rows() {
    QFETCH(TGeneration, generation);
    QFETCH(QString, request);
    QFETCH(QString, reply);
    QFETCH(int, outcome);
    QFETCH(int, code);
    QFETCH(int, attempt);
    QFETCH(QString, linkText);
    QFETCH(QString, rows);
    QFETCH(QString, verdict);
    QFETCH(TSeverity, severity);

    const QByteArray req = frameOf(request);
    const QByteArray rep = frameOf(reply);
    // The query's address and function: from the request, or from the first expected row.
    const QStringList firstRow = rows.section(QLatin1Char(';'), 0, 0).split(QLatin1Char('|'));
    const int addr = req.size() >= 2 ? bytes(req)[0] : firstRow.at(1).toInt();
    const int fn = req.size() >= 2 ? bytes(req)[1] : firstRow.at(2).section(QLatin1Char(' '), 0, 0).toInt();
    const TTrafficExchange e = exchangeOf(generation, req, rep, outcome, code, attempt, linkText, addr, fn);

    const QList<TTrafficRow> got = TTrafficDecoder::Rows(e);
    QStringList shape;
    for (const TTrafficRow& r : got)
        shape << TTrafficDecoder::CellText(r, TTrafficDecoder::ColDirection) + QLatin1Char('|') +
                     TTrafficDecoder::CellText(r, TTrafficDecoder::ColAddress) + QLatin1Char('|') +
                     TTrafficDecoder::CellText(r, TTrafficDecoder::ColFunction);
    QCOMPARE(shape.join(QLatin1Char(';')), rows);
    QCOMPARE(TTrafficDecoder::RowCount(e), got.size());
    for (const TTrafficRow& r : got) {
        // Both rows of an exchange carry its verdict, severity and time, and their own bytes.
        QCOMPARE(TTrafficDecoder::CellText(r, TTrafficDecoder::ColVerdict), verdict);
        QCOMPARE(r.severity, severity);
        QCOMPARE(r.slaveAddr, std::uint8_t(addr));
        QCOMPARE(r.funcCode, std::uint8_t(fn));
        if (r.direction == TDirection::Request)
            QCOMPARE(r.bytes, req);
        if (r.direction == TDirection::Reply)
            QCOMPARE(r.bytes, rep);
        QCOMPARE(TTrafficDecoder::CellText(r, TTrafficDecoder::ColMs), req.isEmpty() && rep.isEmpty()
                                                                           ? QString()
                                                                           : QStringLiteral("20"));
    }
}

void TestTrafficDecoder::timesOfTheRows() {
    // Bytes thrown away before the request, a request, and a reply that came in three reads.
    TTrafficExchange e;
    e.slaveAddr = 1;
    e.funcCode = 3;
    e.discarded = frameOf("AA 55 AA");
    e.discardedUs = 9'998'000;
    e.request = frameOf("01 03 0031 000A+");
    e.sentUs = 10'000'000;
    e.reply = frameOf("01 03 14 x20+");
    e.pieces = {{3, 10'004'000}, {20, 10'106'000}, {25, 10'212'345}};
    e.endUs = 10'250'000;
    e.anchorUs = 10'000'000;
    e.anchorWallMs = QDateTime(QDate(2026, 3, 7), QTime(9, 5, 3, 45)).toMSecsSinceEpoch();
    e.port = QStringLiteral("ttyUSB0");
    e.bitRate = 19200;

    const QList<TTrafficRow> rows = TTrafficDecoder::Rows(e);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(TTrafficDecoder::CellText(rows[0], TTrafficDecoder::ColDirection), QStringLiteral("Отброшено"));
    QCOMPARE(TTrafficDecoder::CellText(rows[0], TTrafficDecoder::ColTime), QStringLiteral("09:05:03.043"));
    QCOMPARE(TTrafficDecoder::CellText(rows[0], TTrafficDecoder::ColBytes), QStringLiteral("AA 55 AA"));
    QCOMPARE(TTrafficDecoder::CellText(rows[0], TTrafficDecoder::ColMs), QString());
    QCOMPARE(rows[0].severity, TSeverity::Warning);
    QCOMPARE(TTrafficDecoder::CellText(rows[1], TTrafficDecoder::ColTime), QStringLiteral("09:05:03.045"));
    // The reply's time is its last byte's, and so is the end of the exchange's time.
    QCOMPARE(TTrafficDecoder::CellText(rows[2], TTrafficDecoder::ColTime), QStringLiteral("09:05:03.257"));
    QCOMPARE(TTrafficDecoder::CellText(rows[1], TTrafficDecoder::ColMs), QStringLiteral("212"));
    QCOMPARE(TTrafficDecoder::CellText(rows[2], TTrafficDecoder::ColMs), QStringLiteral("212"));
    const QString detail = TTrafficDecoder::DetailText(rows[2]);
    QVERIFY2(detail.contains(QStringLiteral("Порт ttyUSB0, 19200 бит/с")), qPrintable(detail));
    QVERIFY2(detail.contains(QStringLiteral("(чтений: 3): 3 + 17 + 5 байт")), qPrintable(detail));
    QVERIFY2(detail.contains(QStringLiteral("07.03.2026 09:05:03.257")), qPrintable(detail));

    // Chatter before a request the busy line kept back: both said. A delivery the older link's receive
    // handler drops: only the bytes.
    TTrafficExchange busy;
    busy.slaveAddr = 1;
    busy.funcCode = 3;
    busy.discarded = frameOf("AA 55");
    busy.outcome = TOutcome::NotSent;
    busy.linkText = QStringLiteral("Неизвестное устройство продолжает передачу");
    QCOMPARE(TTrafficDecoder::Rows(busy).size(), 2);
    QCOMPARE(TTrafficDecoder::Rows(busy)[1].direction, TDirection::NotSent);
    busy.outcome = TOutcome::Ignored;
    QCOMPARE(TTrafficDecoder::Rows(busy).size(), 1);
    QCOMPARE(TTrafficDecoder::RowCount(busy), 1);
    QCOMPARE(TTrafficDecoder::Rows(busy)[0].direction, TDirection::Discarded);

    // Nothing came: the time runs to the end of the wait.
    e.reply.clear();
    e.pieces.clear();
    e.outcome = TOutcome::NoReply;
    QCOMPARE(TTrafficDecoder::ExchangeMs(e), 250.0);
    // Nothing sent: no time at all.
    e.request.clear();
    e.sentUs = 0;
    QCOMPARE(TTrafficDecoder::ExchangeMs(e), -1.0);
}

void TestTrafficDecoder::hexAndMs() {
    QCOMPARE(TTrafficDecoder::HexText(frameOf("01 03 0031 000A+")), QStringLiteral("01 03 00 31 00 0A 94 02"));
    QCOMPARE(TTrafficDecoder::HexText({}), QString());
    QCOMPARE(TTrafficDecoder::HexText(QByteArray(1, char(0xFF))), QStringLiteral("FF"));
    QCOMPARE(TTrafficDecoder::MsText(3.24), QStringLiteral("3.2"));
    QCOMPARE(TTrafficDecoder::MsText(0), QStringLiteral("0.0"));
    QCOMPARE(TTrafficDecoder::MsText(9.96), QStringLiteral("10.0"));
    QCOMPARE(TTrafficDecoder::MsText(1203.6), QStringLiteral("1204"));
    QCOMPARE(TTrafficDecoder::MsText(-1), QString());
    QCOMPARE(TTrafficDecoder::ColumnTitles().join(QLatin1Char('|')),
             QStringLiteral("Время|Направление|Адрес|Функция|Байты|Итог|мс"));
}

QTEST_GUILESS_MAIN(TestTrafficDecoder)
#include "tst_traffic_decoder.moc"
