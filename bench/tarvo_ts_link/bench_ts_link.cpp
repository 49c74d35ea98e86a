// Duration and CPU cost of the older configurator's exchanges against the simulator over a pty.
//   bench_ts_link [--exchanges N] [--seconds S]
// 1. Answered ReadInformation and ReadConfiguration exchanges, N of each (default 6), timed from the
//    call to its return, against their line-timing model: request line time + the transducer's
//    turnaround (3.5 characters of silence that end the request, and its set latency) + reply line time
//    + InputTimeout of quiet. Goal: median overhead above the model at most 20 ms.
// 2. CPU time of the whole process during S seconds (default 30) of back-to-back exchanges.
//    Goal: at most 1 % of the wall time (a busy-wait would burn a whole core).
#include "SimFixture.h"
#include "TsLink.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr int LatencyMs = 5;
constexpr double CharMs = 11.0 * 1000.0 / 1200.0;

qint64 clockUsec(clockid_t id) {
    timespec ts{};
    clock_gettime(id, &ts);
    return qint64(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

// The window's part, reduced to what the exchanges need.
class BenchHost final : public TTsHost {
public:
    TSilentMessageDialog dialog;
    int messages = 0;
    TMessageDialog& MessageDialog() override {
        ++messages;
        return dialog;
    }
    void ProcessMessages() override { QCoreApplication::processEvents(); }
    void SetOperationText(const QString&) override {}
    void ShowLinkState() override {}
    void ShowInformation() override {}
    void ShowConfiguration() override {}
    void ClearDeviceFields() override {}
    void SetInfoModified(bool) override {}
    void SetConfModified(bool) override {}
    void SetConnectAction(const QString&, int) override {}
    int RepeatNum() const override { return 2; }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int exchanges = 6;
    int seconds = 30;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--exchanges"))
            exchanges = std::max(1, args[i + 1].toInt());
        if (args[i] == QLatin1String("--seconds"))
            seconds = std::max(1, args[i + 1].toInt());
    }

    SimFixture sim; // the default bus: bus 1 holds a 77 at address 3, 1200 bit/s
    QString err;
    if (!sim.start(&err)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(err));
        return 1;
    }
    sim.command(QStringLiteral("set 1:3 latency %1").arg(LatencyMs));

    BenchHost host;
    TTsLink link(host);
    link.Driver().SetPortName(sim.portPath(1));
    link.DeviceData.SlaveID = 3;
    link.ReportConnectFailures = true;
    if (!link.Driver().OpenPort()) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(sim.portPath(1)));
        return 1;
    }
    bool allGood = true;

    struct Case {
        const char* name;
        int requestChars;
        int replyChars;
        std::function<TExchangeResult()> run;
    };
    const Case cases[] = {
        {"ReadInformation", 4, tarvo_ts::IdentReplyLength, [&] { return link.ReadInformation(3); }},
        {"ReadConfiguration", 8, tarvo_ts::ConfReplyLength, [&] { return link.ReadConfiguration(); }},
    };

    std::printf("Answered exchanges against the model (request + turnaround + reply + InputTimeout), %d each\n",
                exchanges);
    for (const Case& c : cases) {
        const double model = (c.requestChars + 3.5 + c.replyChars) * CharMs + LatencyMs +
                             link.Driver().InputTimeout();
        std::vector<double> overhead;
        for (int i = 0; i < exchanges; ++i) {
            const qint64 t0 = clockUsec(CLOCK_MONOTONIC);
            const TExchangeResult r = c.run();
            const double ms = double(clockUsec(CLOCK_MONOTONIC) - t0) / 1000.0;
            if (!r.answered()) {
                std::fprintf(stderr, "%s: exchange %d not answered (outcome %d)\n", c.name, i, int(r.outcome));
                return 1;
            }
            overhead.push_back(ms - model);
        }
        const double med = median(overhead);
        const double worst = *std::max_element(overhead.begin(), overhead.end());
        std::printf("  %-18s model %7.1f ms, median overhead %6.1f ms, worst %6.1f ms -> %s\n", c.name, model, med,
                    worst, med <= 20.0 ? "ok (goal <= 20 ms)" : "ABOVE GOAL (20 ms)");
        allGood = allGood && med <= 20.0;
    }

    std::printf("CPU time during %d s of back-to-back exchanges\n", seconds);
    const qint64 wall0 = clockUsec(CLOCK_MONOTONIC);
    const qint64 cpu0 = clockUsec(CLOCK_PROCESS_CPUTIME_ID);
    int count = 0;
    while (clockUsec(CLOCK_MONOTONIC) - wall0 < qint64(seconds) * 1'000'000) {
        if (!cases[count % 2].run().answered()) {
            std::fprintf(stderr, "exchange %d not answered\n", count);
            return 1;
        }
        ++count;
    }
    const double wall = double(clockUsec(CLOCK_MONOTONIC) - wall0) / 1e6;
    const double cpu = double(clockUsec(CLOCK_PROCESS_CPUTIME_ID) - cpu0) / 1e6;
    const double share = 100.0 * cpu / wall;
    std::printf("  %d exchanges in %.1f s wall, %.3f s CPU = %.2f %% -> %s\n", count, wall, cpu, share,
                share <= 1.0 ? "ok (goal <= 1 %)" : "ABOVE GOAL (1 %)");
    allGood = allGood && share <= 1.0 && host.messages == 0;
    return allGood ? 0 : 2;
}
