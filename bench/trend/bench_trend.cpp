// Cost of the trend plot with a day of 1 s polls (86,400 polls, 4 series) in the "Всё" window.
//   bench_trend [--seconds S]
// 1. Appending a poll: to the store alone and through the shown chart. Goal: at most 50 µs.
// 2. Memory of the series: what the store holds, and the heap it took. Goal: at most 20 MiB.
// 3. A redraw at 1280 × 800: the curves and axes rebuilt and the view painted. Goal: at most 16 ms.
//    For comparison, the same picture drawn as one QLineSeries per unbroken piece, as Qt Charts alone
//    would have to, with a failed poll every 50 polls.
// 4. CPU of a process polling once a second with the chart shown, S seconds (default 30), measured from
//    outside: this program starts itself as a child and reads the child's CPU time off /proc. Goal: 1 %.
// Run offscreen (QT_QPA_PLATFORM=offscreen) or on a display.
#include "TrendPanel.h"

#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QProcess>
#include <QTimer>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using namespace trend;

namespace {

constexpr int kPolls = 86'400;
const QDateTime kStart(QDate(2025, 3, 12), QTime(0, 0, 0));

QList<std::optional<double>> valuesAt(int i) {
    const double t = 20 + 60 * (1 - std::exp(-i / 3600.0)) + 0.3 * std::sin(i / 40.0) + (i % 9973 == 0 ? 25 : 0);
    return {t, 100 * (1 + 3.9083e-3 * t), 1.25 + 0.001 * std::sin(i / 500.0), 24 + 0.00005 * i};
}

void fill(TrendChart* chart, int polls, int failEvery) {
    for (int i = 0; i < polls; ++i) {
        const QDateTime at = kStart.addSecs(i);
        if (failEvery > 0 && i % failEvery == failEvery - 1)
            chart->addPoll(at, {}, u"нет ответа"_s);
        else
            chart->addPoll(at, valuesAt(i));
    }
}

const QList<TrendSeries> kSeries{{u"T"_s, u"°C"_s, 2}, {u"R"_s, u"Ом"_s, 3}, {u"R линии"_s, u"Ом"_s, 3},
                                     {u"Т корпуса"_s, u"°C"_s, 2}};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

long residentPages() {
    QFile f(u"/proc/self/statm"_s);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return f.readAll().split(' ').value(1).toLong();
}

// CPU time of this thread in µs (the kernel's exact count; getrusage counts in ticks here).
double threadCpuUs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
}

bool verdict(bool ok) {
    std::printf("  -> %s\n", ok ? "ok" : "ABOVE GOAL");
    return ok;
}

// CPU seconds (user + system) of a process, read off /proc/PID/stat.
double cpuOf(qint64 pid) {
    QFile f(u"/proc/%1/stat"_s.arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = f.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // after the command: state(0) ... utime(11) stime(12)
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

// The child: a shown panel with a day of polls, polled once a second; "ready" once filled. A window index
// of 10 and more: the same window, the panel never shown.
int child(QApplication& app, int seconds, int windowIndex) {
    const bool shown = windowIndex < 10;
    windowIndex %= 10;
    TrendPanel panel;
    panel.resize(1280, 800);
    panel.chart()->setSeries(kSeries);
    fill(panel.chart(), kPolls, 0);
    panel.windowBox()->setCurrentIndex(windowIndex);
    if (shown)
        panel.show();
    int i = kPolls;
    QTimer poll;
    poll.setInterval(1000);
    QObject::connect(&poll, &QTimer::timeout, &panel, [&] {
        panel.chart()->addPoll(kStart.addSecs(i), valuesAt(i));
        ++i;
    });
    QTimer::singleShot(1500, &panel, [&] { // settled: shown and drawn
        std::printf("ready\n");
        std::fflush(stdout);
        poll.start();
    });
    QTimer::singleShot(1500 + seconds * 1000, &app, &QCoreApplication::quit);
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    int seconds = 30;
    if (const qsizetype at = args.indexOf(u"--seconds"_s); at > 0 && at + 1 < args.size())
        seconds = std::max(5, args.at(at + 1).toInt());
    if (const qsizetype at = args.indexOf(u"--child"_s); at > 0 && at + 2 < args.size())
        return child(app, args.at(at + 1).toInt(), args.at(at + 2).toInt());
    bool allGood = true;

    // 1. appending
    std::printf("Appending %d polls of 4 series\n", kPolls);
    {
        const auto heapNow = [] {
            const struct mallinfo2 m = mallinfo2();
            return m.uordblks + m.hblkhd; // small blocks and mapped ones
        };
        // Three runs; per poll the least CPU time of the three, so what a poll costs shows apart from
        // what the machine's other work costs it.
        std::vector<double> us, cpuUs(kPolls, 1e18);
        us.reserve(kPolls);
        std::size_t heapTaken = 0;
        long residentTaken = 0;
        std::unique_ptr<TrendStore> kept;
        for (int run = 0; run < 3; ++run) {
            us.clear();
            kept.reset();
            const std::size_t heap0 = heapNow();
            const long resident0 = residentPages();
            auto store = std::make_unique<TrendStore>(4);
            for (int i = 0; i < kPolls; ++i) {
                const auto v = valuesAt(i);
                const double c0 = threadCpuUs();
                QElapsedTimer one;
                one.start();
                store->addPoll(kStart.toMSecsSinceEpoch() + qint64(i) * 1000, v);
                us.push_back(double(one.nsecsElapsed()) / 1000.0);
                cpuUs[std::size_t(i)] = std::min(cpuUs[std::size_t(i)], threadCpuUs() - c0);
            }
            heapTaken = heapNow() - heap0;
            residentTaken = residentPages() - resident0;
            kept = std::move(store);
        }
        const TrendStore& store = *kept;
        const double worstCpu = *std::max_element(cpuUs.begin(), cpuUs.end());
        std::printf("  store: median %.2f us, p99.9 %.2f us, worst %.1f us wall; worst %.1f us of CPU (least of"
                    " three runs, the clock's own cost of about 1 us included)\n",
                    median(us), percentile(us, 0.999), *std::max_element(us.begin(), us.end()), worstCpu);
        allGood = verdict(worstCpu <= 50) && allGood;

        // 2. memory
        const double held = double(store.memoryBytes()) / 1048576.0;
        const double heap = double(heapTaken) / 1048576.0;
        const double resident = double(residentTaken) * double(sysconf(_SC_PAGESIZE)) / 1048576.0;
        std::printf("Memory of the series after a day: store %.2f MiB, heap taken %.2f MiB, of it resident %.2f MiB"
                    " (coarsest span %lld polls); the same however long the run\n",
                    held, heap, resident, static_cast<long long>(store.pollsPerSpan()));
        allGood = verdict(std::max(held, heap) <= 20) && allGood;
    }

    TrendPanel panel;
    panel.resize(1280, 800);
    panel.chart()->setSeries(kSeries);
    panel.windowBox()->setCurrentIndex(3); // Всё
    panel.show();
    app.processEvents();
    {
        std::vector<double> us, cpuUs(kPolls, 1e18);
        us.reserve(kPolls);
        for (int run = 0; run < 3; ++run) {
            us.clear();
            panel.chart()->setSeries(kSeries);
            for (int i = 0; i < kPolls; ++i) {
                const auto v = valuesAt(i);
                const QDateTime at = kStart.addSecs(i);
                const double c0 = threadCpuUs();
                QElapsedTimer one;
                one.start();
                panel.chart()->addPoll(at, v);
                us.push_back(double(one.nsecsElapsed()) / 1000.0);
                cpuUs[std::size_t(i)] = std::min(cpuUs[std::size_t(i)], threadCpuUs() - c0);
            }
        }
        const double worstCpu = *std::max_element(cpuUs.begin(), cpuUs.end());
        std::printf("  shown chart: median %.2f us, p99.9 %.2f us, worst %.1f us wall; worst %.1f us of CPU (least of"
                    " three runs)\n",
                    median(us), percentile(us, 0.999), *std::max_element(us.begin(), us.end()), worstCpu);
        allGood = verdict(worstCpu <= 50) && allGood;
    }

    // 3. redraw
    // wall time, and the CPU time of this thread (the painting is done in it, offscreen or not) that the
    // verdict takes, since other programs on the machine stretch the wall time
    auto timeRedraw = [&](const char* what) {
        std::vector<double> build, paint, cpu;
        for (int k = 0; k < 40; ++k) {
            const double c0 = threadCpuUs();
            QElapsedTimer t;
            t.start();
            panel.chart()->redrawNow();
            build.push_back(double(t.nsecsElapsed()) / 1e6);
            t.restart();
            panel.chart()->viewport()->repaint();
            paint.push_back(double(t.nsecsElapsed()) / 1e6);
            cpu.push_back((threadCpuUs() - c0) / 1000.0);
        }
        std::vector<double> sum(build.size());
        for (std::size_t k = 0; k < build.size(); ++k)
            sum[k] = build[k] + paint[k];
        std::printf("  %s: curves and axes %.2f ms + painting %.2f ms = %.2f ms wall (median), worst %.2f ms;"
                    " %.2f ms of CPU (median)\n",
                    what, median(build), median(paint), median(sum), *std::max_element(sum.begin(), sum.end()),
                    median(cpu));
        return median(cpu);
    };
    std::printf("Redraw at %dx%d, \"Всё\", %d polls x 4 series\n", panel.width(), panel.height(), kPolls);
    allGood = verdict(timeRedraw("no failed polls") <= 16) && allGood;

    panel.chart()->setSeries(kSeries);
    fill(panel.chart(), kPolls, 50);
    panel.chart()->redrawNow();
    const double ours = timeRedraw("a failed poll every 50");
    allGood = verdict(ours <= 16) && allGood;

    // the same picture as one QLineSeries per unbroken piece
    {
        QChart* chart = panel.chart()->chart();
        const qint64 from = panel.chart()->visibleFrom(), to = panel.chart()->visibleTo();
        const int width = int(chart->plotArea().width());
        QList<QLineSeries*> pieces;
        auto* ax = new QValueAxis;
        auto* ay = new QValueAxis;
        ax->setRange(double(from), double(to));
        ay->setRange(0, 140);
        ax->setVisible(false);
        ay->setVisible(false);
        chart->addAxis(ax, Qt::AlignTop);
        chart->addAxis(ay, Qt::AlignRight);
        QElapsedTimer t;
        t.start();
        for (int s = 0; s < 4; ++s) {
            const auto pts = panel.chart()->store().points(s, from, to, width);
            QList<QPointF> piece;
            auto flush = [&] {
                if (piece.isEmpty())
                    return;
                auto* ls = new QLineSeries;
                ls->replace(piece);
                chart->addSeries(ls);
                ls->attachAxis(ax);
                ls->attachAxis(ay);
                pieces << ls;
                piece.clear();
            };
            for (const TrendPoint& p : pts) {
                if (p.isBreak())
                    flush();
                else
                    piece << QPointF(double(p.t), p.v);
            }
            flush();
        }
        for (QLegendMarker* m : chart->legend()->markers())
            m->setVisible(false);
        const double build = double(t.nsecsElapsed()) / 1e6;
        std::vector<double> paint;
        for (int k = 0; k < 10; ++k) {
            t.restart();
            panel.chart()->viewport()->repaint();
            paint.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        std::printf("  as %lld line series, one per piece: building %.1f ms, painting %.2f ms (median)\n",
                    static_cast<long long>(pieces.size()), build, median(paint));
        for (QLineSeries* ls : std::as_const(pieces)) {
            chart->removeSeries(ls);
            delete ls;
        }
        chart->removeAxis(ax);
        chart->removeAxis(ay);
        delete ax;
        delete ay;
    }

    // 4. CPU from outside
    std::printf("CPU of a process polling once a second for %d s with the chart shown (%d polls before)\n",
                seconds, kPolls);
    for (int windowIndex : {3, 1, 0, 11}) {
        QProcess proc;
        proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc.start(QCoreApplication::applicationFilePath(),
                   {u"--child"_s, QString::number(seconds), QString::number(windowIndex)});
        if (!proc.waitForStarted(5000) || !proc.waitForReadyRead(120000)) {
            std::printf("  the child did not start\n");
            return 1;
        }
        const double cpu0 = cpuOf(proc.processId());
        QElapsedTimer wall;
        wall.start();
        double cpu1 = cpu0;
        qint64 lastSample = 0;
        while (proc.state() == QProcess::Running && !proc.waitForFinished(200)) {
            const double c = cpuOf(proc.processId());
            if (c >= 0) {
                cpu1 = c;
                lastSample = wall.elapsed();
            }
        }
        const double w = double(lastSample) / 1000.0;
        const double share = 100.0 * (cpu1 - cpu0) / w;
        std::printf("  \"%s\"%s: %.1f s wall, %.2f s CPU = %.2f %%",
                    qPrintable(TrendChart::windowText(TrendWindow(windowIndex % 10))),
                    windowIndex >= 10 ? " with the page hidden" : "", w, cpu1 - cpu0, share);
        allGood = verdict(share <= 1.0) && allGood;
    }
    return allGood ? 0 : 2;
}
