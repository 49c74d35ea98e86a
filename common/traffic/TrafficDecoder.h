// Turns an exchange into the rows of the traffic view and the texts of their cells, with the function
// names and error texts of each configurator's own codec (common/modbus). No window.
//
// An exchange gives, in this order and only for what is there:
//   1. a row "Отброшено" for bytes heard before the request and thrown away;
//   2. a row "Запрос" for the bytes written (with the attempt number from the second attempt on);
//   3. a row "Ответ" for the bytes read, however many reads brought them;
//   4. when nothing was written and nothing read, one row "Не отправлено" carrying the refusal (not for
//      a record that only carries bytes thrown away, unless its verdict is NotSent).
// The request and the reply rows share the exchange's verdict ("Итог"), severity and time ("мс": from the
// end of the request to the last byte of the reply, or to the end of the wait when nothing came). The
// address and function columns show the bytes of each frame; the filters match the query's address and
// function, so a request and its reply are always shown or hidden together.
#pragma once

#include "TrafficExchange.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace traffic {

enum class TDirection : std::uint8_t { Request, Reply, Discarded, NotSent };

// Ok: as expected. Warning: accepted, but the wire shows something the program does not check (an
// older-link reply with a bad CRC or from another address), or a reply the older link drops.
// Failed: the exchange failed.
enum class TSeverity : std::uint8_t { Ok, Warning, Failed };

// One row of the view: one frame (or one refused query), decoded.
struct TTrafficRow {
    qint64 wallMs = 0; // local time of the frame's last byte, ms since the epoch
    TDirection direction = TDirection::Request;
    TGeneration generation = TGeneration::Newer;
    std::uint8_t attempt = 1;
    std::uint8_t slaveAddr = 0; // the query's address and function: what the filters match
    std::uint8_t funcCode = 0;
    QByteArray bytes;           // the frame as on the wire
    QList<TTrafficPiece> pieces; // reply rows: the reads that brought it (offsets into `bytes`)
    QString verdict;
    double ms = -1; // the exchange's time; below 0: none
    TSeverity severity = TSeverity::Ok;
    QString port;
    int bitRate = 0;
    // The time cell, when made in advance (the list makes it once, not at every repaint).
    QString timeText;
};

class TTrafficDecoder {
public:
    enum Column { ColTime, ColDirection, ColAddress, ColFunction, ColBytes, ColVerdict, ColMs, ColumnCount };

    // The rows of one exchange (one to three).
    static QList<TTrafficRow> Rows(const TTrafficExchange& exchange);

    // How many rows Rows() gives, without decoding.
    static int RowCount(const TTrafficExchange& exchange);

    static QString VerdictText(const TTrafficExchange& exchange);
    static TSeverity Severity(const TTrafficExchange& exchange);
    // From the end of the request to the last byte of the reply (or the end of the wait); -1 when nothing
    // was sent.
    static double ExchangeMs(const TTrafficExchange& exchange);

    // "3 Чтение регистров"; a function byte with the exception bit "3 Чтение регистров (исключение)"; a
    // code the generation does not use "5 неизвестная функция".
    static QString FunctionText(TGeneration generation, std::uint8_t functionByte);
    // "01 03 00 31 00 0A 94 02".
    static QString HexText(const QByteArray& bytes);
    // Local time "hh:mm:ss.zzz".
    static QString TimeText(qint64 wallMs);
    // The same, with the local time's offset from UTC given (seconds).
    static QString TimeText(qint64 wallMs, int utcOffsetS);
    // Below 10 ms with one decimal, else whole milliseconds; empty for none.
    static QString MsText(double ms);
    static QString DirectionText(const TTrafficRow& row);

    static QStringList ColumnTitles();
    static QString CellText(const TTrafficRow& row, int column);
    // Port, rate, the reads a reply came in, the whole frame: the cell's tool tip.
    static QString DetailText(const TTrafficRow& row);
    // The cells of a row separated by tabs.
    static QString RowText(const TTrafficRow& row);
};

} // namespace traffic
