// The traffic dock beside an empty main window, filled with a mix of exchanges of both programs: good
// replies, a resend, a time-out, an exception, a CRC error, a reply in pieces.
//   traffic_gallery [--dark] [--grab out.png]
#include "DockTraffic.h"
#include "TrafficModel.h"

#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPalette>
#include <QStyleFactory>
#include <QTableView>
#include <QTimer>

using namespace traffic;

namespace {

QByteArray frame(std::initializer_list<int> body) {
    QByteArray f;
    for (int b : body)
        f.append(char(b));
    const std::uint16_t crc = modbus::Crc16(reinterpret_cast<const std::uint8_t*>(f.constData()), std::size_t(f.size()));
    f.append(char(crc & 0xFF));
    f.append(char(crc >> 8));
    return f;
}

QByteArray regs(int addr, int count) {
    QByteArray f;
    f.append(char(addr));
    f.append(char(3));
    f.append(char(2 * count));
    for (int i = 0; i < 2 * count; ++i)
        f.append(char((i * 37 + 11) & 0xFF));
    const std::uint16_t crc = modbus::Crc16(reinterpret_cast<const std::uint8_t*>(f.constData()), std::size_t(f.size()));
    f.append(char(crc & 0xFF));
    f.append(char(crc >> 8));
    return f;
}

struct Clock {
    qint64 us = 1'000'000;
    qint64 wall = QDateTime::currentMSecsSinceEpoch() - 60'000;
};

TTrafficExchange exchange(Clock& c, TGeneration g, int rate, const QString& port, const QByteArray& req,
                          const QByteArray& rep, double ms, TOutcome outcome, int code = 0, int attempt = 1) {
    TTrafficExchange e;
    e.generation = g;
    e.port = port;
    e.bitRate = rate;
    e.slaveAddr = std::uint8_t(req[0]);
    e.funcCode = std::uint8_t(req[1]);
    e.attempt = std::uint8_t(attempt);
    e.request = req;
    e.sentUs = c.us;
    e.reply = rep;
    e.endUs = c.us + qint64(ms * 1000);
    e.outcome = outcome;
    e.code = std::uint8_t(code);
    e.anchorUs = c.us;
    e.anchorWallMs = c.wall;
    c.us += qint64(ms * 1000) + 200'000;
    c.wall += qint64(ms) + 200;
    return e;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (args.contains(QStringLiteral("--dark"))) {
        QPalette p;
        p.setColor(QPalette::Window, QColor(45, 45, 48));
        p.setColor(QPalette::WindowText, QColor(230, 230, 230));
        p.setColor(QPalette::Base, QColor(30, 30, 32));
        p.setColor(QPalette::AlternateBase, QColor(40, 40, 44));
        p.setColor(QPalette::Text, QColor(230, 230, 230));
        p.setColor(QPalette::Button, QColor(55, 55, 60));
        p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
        p.setColor(QPalette::Highlight, QColor(42, 110, 190));
        p.setColor(QPalette::HighlightedText, Qt::white);
        QApplication::setPalette(p);
    }

    QMainWindow window;
    window.setObjectName(QStringLiteral("GalleryWindow"));
    window.setWindowTitle(QStringLiteral("Обмен по линии"));
    auto* central = new QLabel(QStringLiteral("Главное окно программы"));
    central->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(central);
    auto* dock = new TDockTraffic(&window);
    window.addDockWidget(Qt::BottomDockWidgetArea, dock);
    window.menuBar()->addMenu(QStringLiteral("Вид"))->addAction(CreateActionTraffic(dock));

    Clock c;
    const QString tp = QStringLiteral("ttyUSB0");
    const QString ts = QStringLiteral("ttyUSB1");
    TTrafficModel* m = dock->Model();
    const auto N = TGeneration::Newer;
    const auto O = TGeneration::Older;
    m->AddExchange(exchange(c, N, 19200, tp, frame({1, 0x11}), frame({1, 0x11, 66, 118, 0, 'T', 'a', 'r', 'v', 'o'}).left(71), 38.2, TOutcome::Ok));
    m->AddExchange(exchange(c, N, 19200, tp, frame({1, 3, 0, 0x31, 0, 10}), regs(1, 10), 16.4, TOutcome::Ok));
    m->AddExchange(exchange(c, N, 19200, tp, frame({5, 3, 0, 0x11, 0, 16}), {}, 1203, TOutcome::NoReply));
    m->AddExchange(exchange(c, N, 19200, tp, frame({1, 0x66, 2, 0, 0, 0x08, 0x34}), frame({1, 0xE6, 16}), 22.7, TOutcome::Exception, 16));
    QByteArray bad = regs(1, 12);
    bad[bad.size() - 1] = char(bad[bad.size() - 1] ^ 0x5A);
    m->AddExchange(exchange(c, N, 19200, tp, frame({1, 3, 0, 0x21, 0, 12}), bad, 18.9, TOutcome::CrcError));
    TTrafficExchange pieces = exchange(c, N, 19200, tp, frame({1, 3, 0, 0x31, 0, 10}), regs(1, 10).left(24), 712, TOutcome::WrongLength);
    pieces.pieces = {{9, pieces.sentUs + 105'000}, {24, pieces.sentUs + 712'000}};
    m->AddExchange(pieces);
    m->AddExchange(exchange(c, N, 19200, tp, frame({1, 0x10, 0, 0x31, 0, 2, 4, 0, 1, 0, 2}), frame({1, 0x10, 0, 0x31, 0, 2}), 14.1, TOutcome::Ok));
    m->AddExchange(exchange(c, O, 1200, ts, frame({3, 0x11}), {}, 2000, TOutcome::NoReply));
    m->AddExchange(exchange(c, O, 1200, ts, frame({3, 0x11}), frame({3, 0x11, 50, 77}).leftJustified(55, 'x'), 1468, TOutcome::Ok, 0, 2));
    m->AddExchange(exchange(c, O, 1200, ts, frame({3, 3, 0, 0x18, 0, 8}), regs(3, 8), 1197, TOutcome::Ok));
    m->AddExchange(exchange(c, O, 1200, ts, frame({3, 0x4E, 1}), frame({3, 0xCE, 13}), 1046, TOutcome::Exception, 13));
    m->AddExchange(exchange(c, O, 1200, ts, frame({3, 0x4F, 1, 0x03, 0xE8}), frame({3, 0xCF, 5}), 1046, TOutcome::Exception, 5));

    window.resize(1180, 560);
    window.show();
    window.resizeDocks({dock}, {470}, Qt::Vertical);
    dock->Table()->selectRow(m->rowCount() - 4);
    dock->Table()->setFocus();

    const int grab = int(args.indexOf(QStringLiteral("--grab")));
    if (grab >= 0 && grab + 1 < args.size()) {
        QTimer::singleShot(200, &window, [&] {
            window.grab().save(args.at(grab + 1));
            app.quit();
        });
    }
    return app.exec();
}
