// Cost of the traffic view.
//   bench_traffic [--seconds S] [--frames N]
// 1. Adding frames with the view open and following the newest row: the thread CPU time of each
//    hand-over to the model (exchanges of two frames: a function-3 request for 10 registers and its
//    25-byte reply) per frame, N frames (default 40 000) so the oldest are dropped past the cap of
//    10 000; one exchange at a time, and as the queue hands them over every 500 ms at the worker's pace
//    (2 exchanges) and at line speed (120). Goal: at most 20 µs a frame.
// 2. CPU of the whole process while a thread publishes exchanges as the newer link does (a recorder per
//    exchange, one tap), with the dock open and scrolling against the dock closed, S seconds each
//    (default 20), measured with getrusage. Two paces: the worker's own at 115200 bit/s (back-to-back
//    queries, each the line time of 33 characters, 1 ms of slave latency and the loop's 200 ms pass)
//    and, as a margin, the same queries with no pass at all. Goal: open at most 1 percentage point
//    above closed at the worker's pace.
#include "DockTraffic.h"
#include "TrafficModel.h"
#include "TrafficQueue.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace traffic;

namespace {

const QByteArray Request = modbus::WithCrc(QByteArray::fromHex("01030031000A"));
const QByteArray Reply = modbus::WithCrc(QByteArray::fromHex("010314") + QByteArray(20, char(0x42)));

TTrafficExchange sample(qint64 now) {
    TTrafficExchange e;
    e.port = QStringLiteral("ttyUSB0");
    e.bitRate = 115200;
    e.slaveAddr = 1;
    e.funcCode = 3;
    e.request = Request;
    e.sentUs = now;
    e.reply = Reply;
    e.endUs = now + 3200;
    e.anchorUs = now;
    e.anchorWallMs = QDateTime::currentMSecsSinceEpoch();
    return e;
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// CPU time of this thread: a time slice lost to another process on a busy machine is not the view's.
qint64 threadNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5))];
}

struct Window {
    QMainWindow main;
    TTrafficTap tap;
    TDockTraffic* dock;
    Window() {
        dock = new TDockTraffic(&main);
        dock->SetTap(&tap);
        main.addDockWidget(Qt::BottomDockWidgetArea, dock);
        main.resize(1100, 700);
        main.show();
        main.resizeDocks({dock}, {500}, Qt::Vertical);
        (void)QTest::qWaitForWindowExposed(&main);
        // The user looks at the list; no caret blinks in the address box.
        dock->Table()->setFocus();
    }
    ~Window() { dock->SetTap(nullptr); }
};

// Adds `frames` frames in hand-overs of `perBatch` exchanges, the view laying out and repainting every
// 40 ms; the thread CPU time of each hand-over, per frame.
void addCost(int frames, int perBatch, const char* what) {
    Window w;
    TTrafficModel* m = w.dock->Model();
    std::vector<double> cpuUs; // per frame, one value per hand-over
    std::vector<double> wallUs;
    std::vector<TTrafficExchange> batch;
    QElapsedTimer t;
    QElapsedTimer paint;
    paint.start();
    const int rounds = frames / (2 * perBatch);
    for (int round = 0; round < rounds; ++round) {
        batch.clear();
        for (int i = 0; i < perBatch; ++i)
            batch.push_back(sample(NowUs()));
        t.start();
        const qint64 cpu0 = threadNs();
        m->AddExchanges(batch);
        const double frameCount = 2.0 * perBatch;
        cpuUs.push_back(double(threadNs() - cpu0) / 1000.0 / frameCount);
        wallUs.push_back(double(t.nsecsElapsed()) / 1000.0 / frameCount);
        if (paint.elapsed() >= 40) {
            QCoreApplication::processEvents();
            paint.restart();
        }
    }
    QCoreApplication::processEvents();
    // The first hand-overs lay the fresh table out.
    const std::vector<double> warm(cpuUs.begin() + std::min<std::ptrdiff_t>(20, std::ptrdiff_t(cpuUs.size())), cpuUs.end());
    const QScrollBar* bar = w.dock->Table()->verticalScrollBar();
    std::printf("   %-34s median %6.2f us, p99 %7.2f us, worst %7.2f us a frame (wall clock: median %6.2f, worst %8.2f)%s\n",
                what, percentile(warm, 0.5), percentile(warm, 0.99), percentile(warm, 1.0), percentile(wallUs, 0.5),
                percentile(wallUs, 1.0), bar->value() == bar->maximum() && m->FrameCount() == m->MaxFrames() ? "" : "  NOT FULL OR NOT FOLLOWING");
}

void addCosts(int frames) {
    std::printf("1. adding frames with the view open and following, %d frames past the cap of %d, thread CPU time "
                "(goal: at most 20 us a frame)\n",
                frames, TTrafficModel::FrameLimit);
    addCost(frames, 1, "one exchange at a time");
    addCost(frames, 2, "2 exchanges (worker's pace, 500 ms)");
    addCost(frames, 120, "120 exchanges (line speed, 500 ms)");
}

struct CpuFigure {
    double percent = 0;
    int exchanges = 0;
    int rows = 0;
};

// The link's side: one recorder per exchange, as a link fills and publishes it.
CpuFigure cpuRun(Window& w, bool open, double cycleMs, double seconds) {
    if (open)
        w.dock->show();
    else
        w.dock->hide();
    w.dock->Model()->Clear();
    // Opening or closing the dock is not what is measured: let it settle first.
    {
        QEventLoop settle;
        QTimer::singleShot(500, &settle, &QEventLoop::quit);
        settle.exec();
    }
    std::atomic<bool> stop{false};
    std::atomic<int> done{0};
    const auto cycle = std::chrono::microseconds(qint64(cycleMs * 1000));
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    std::thread link([&] {
        using clock = std::chrono::steady_clock;
        auto next = clock::now();
        const auto* req = reinterpret_cast<const std::uint8_t*>(Request.constData());
        const auto* rep = reinterpret_cast<const std::uint8_t*>(Reply.constData());
        while (!stop) {
            if (clock::now() < next) {
                std::this_thread::sleep_until(std::min(next, clock::now() + std::chrono::milliseconds(50)));
                continue;
            }
            TTrafficRecorder rec(&w.tap, TGeneration::Newer, QStringLiteral("ttyUSB0"), 115200);
            rec.Query(1, 3);
            rec.Sent(req, int(Request.size()));
            rec.Piece(rep, int(Reply.size()));
            rec.Finish(TOutcome::Ok);
            ++done;
            next += cycle;
        }
    });
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    stop = true;
    link.join();
    QCoreApplication::processEvents();
    CpuFigure f;
    f.percent = (cpuSeconds() - cpu0) / (double(wall.nsecsElapsed()) / 1e9) * 100.0;
    f.exchanges = done;
    f.rows = w.dock->Model()->FrameCount();
    return f;
}

void cpuComparison(double seconds) {
    Window w;
    // 8 request and 25 reply characters of 11 bits, 1 ms of slave latency.
    const double lineMs = 33.0 * 11.0 * 1000.0 / 115200.0 + 1.0;
    struct Pace {
        const char* name;
        double cycleMs;
    };
    const Pace paces[] = {{"nothing on the line", 1e12}, {"worker's pace (200 ms pass)", lineMs + 200.0}, {"no pass, line speed", lineMs}};
    std::printf("2. CPU of the process, 115200 bit/s, function 3 for 10 registers back to back, %.0f s each\n", seconds);
    for (const Pace& p : paces) {
        const CpuFigure closed = cpuRun(w, false, p.cycleMs, seconds);
        const CpuFigure open = cpuRun(w, true, p.cycleMs, seconds);
        std::printf("   %-28s %6.1f exchanges/s: closed %.3f %% (%d rows), open %.3f %% (%d rows), difference %.3f points%s\n",
                    p.name, p.cycleMs > 1e9 ? 0.0 : 1000.0 / p.cycleMs, closed.percent, closed.rows, open.percent, open.rows,
                    open.percent - closed.percent, p.cycleMs > 100 && p.cycleMs < 1e9 ? "   (goal: at most 1)" : "");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    double seconds = 20;
    int frames = 40000;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QStringLiteral("--seconds"))
            seconds = args[i + 1].toDouble();
        else if (args[i] == QStringLiteral("--frames"))
            frames = args[i + 1].toInt();
    }
    addCosts(frames);
    cpuComparison(seconds);
    return 0;
}
