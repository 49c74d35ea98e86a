// The series store: reduction keeps every extreme and every gap, windows and widths, statistics, the
// nearest value, bounded memory.
#include "TrendStore.h"

#include <QTest>

#include <cmath>
#include <map>
#include <random>

using namespace trend;

namespace {

constexpr qint64 kT0 = 1'740'000'000'000; // ms since the epoch
constexpr qint64 kSecond = 1000;

// A poll as the reference keeps it: NaN is a gap.
struct Ref {
    qint64 t;
    double v;
};

// Random walk around 20 °C with spikes of ±(500 + i) every `spikeEvery` polls, failed polls every
// `gapEvery`, polled every second. Series 1 is the walk times ten, with its own gaps (a missing value).
struct Run {
    std::vector<Ref> series0, series1;
    std::vector<qint64> spikesUp, spikesDown, gaps;
};

Run fill(TrendStore& store, int polls, int spikeEvery, int gapEvery, unsigned seed) {
    Run run;
    std::mt19937 rng(seed);
    std::normal_distribution<double> step(0.0, 0.05);
    double walk = 20.0;
    for (int i = 0; i < polls; ++i) {
        const qint64 t = kT0 + qint64(i) * kSecond;
        walk += step(rng);
        if (gapEvery > 0 && i % gapEvery == gapEvery / 2) {
            store.addGap(t);
            run.series0.push_back({t, NAN});
            run.series1.push_back({t, NAN});
            run.gaps.push_back(t);
            continue;
        }
        double v = walk;
        if (spikeEvery > 0 && i % spikeEvery == spikeEvery / 3) {
            const bool up = (i / spikeEvery) % 2 == 0;
            v = up ? 500.0 + i : -500.0 - i;
            (up ? run.spikesUp : run.spikesDown).push_back(t);
        }
        const bool missing1 = i % 101 == 7;
        store.addPoll(t, {v, missing1 ? std::optional<double>{} : std::optional<double>{walk * 10}});
        run.series0.push_back({t, v});
        run.series1.push_back({t, missing1 ? NAN : walk * 10});
    }
    return run;
}

double valueAt(const std::vector<Ref>& ref, qint64 t) {
    const auto it = std::lower_bound(ref.begin(), ref.end(), t, [](const Ref& r, qint64 x) { return r.t < x; });
    return it != ref.end() && it->t == t ? it->v : -12345.0;
}

// The window that ends with the last poll, `length` ms long; 0: from the first poll.
std::pair<qint64, qint64> shownWindow(const TrendStore& store, qint64 length) {
    const qint64 to = store.lastTime();
    return {length > 0 ? to - length : store.firstTime(), to};
}

// Pixel column of a time, -1 before the window, width after it.
int columnOf(qint64 t, qint64 from, qint64 to, int width) {
    if (t < from)
        return -1;
    if (t > to)
        return width;
    return std::min(width - 1, int(std::floor(double(t - from) * width / double(to - from))));
}

} // namespace

class TstTrendStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reductionKeepsEveryExtreme_data();
    void reductionKeepsEveryExtreme();
    void gapsSurviveReductionAndWindows_data();
    void gapsSurviveReductionAndWindows();
    void statsOfTheVisiblePart_data();
    void statsOfTheVisiblePart();
    void nearestValue();
    void clockSetBackKeepsOrder();
    void memoryIsBounded();
};

void TstTrendStore::reductionKeepsEveryExtreme_data() {
    QTest::addColumn<int>("polls");
    QTest::addColumn<int>("recent");
    QTest::addColumn<int>("spans");
    QTest::addColumn<int>("levels");
    QTest::addColumn<qint64>("window"); // ms back from the last poll, 0: all
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("exact"); // each spike alone in its pixel and span: it appears as polled

    // a day of 1 s polls with the real limits
    QTest::newRow("day, all, 1200 px") << 86400 << 8192 << 8192 << 24 << qint64(0) << 1200 << true;
    QTest::newRow("day, 1 h, 1200 px") << 86400 << 8192 << 8192 << 24 << 3600 * kSecond << 1200 << true;
    QTest::newRow("day, 10 min, 900 px") << 86400 << 8192 << 8192 << 24 << 600 * kSecond << 900 << true;
    QTest::newRow("day, 1 min, 300 px") << 86400 << 8192 << 8192 << 24 << 60 * kSecond << 300 << true;
    QTest::newRow("day, all, 50 px") << 86400 << 8192 << 8192 << 24 << qint64(0) << 50 << false;
    // tiny limits: spans of thousands of polls hold several spikes each
    QTest::newRow("tiny limits, all") << 20000 << 64 << 32 << 24 << qint64(0) << 700 << false;
    QTest::newRow("tiny limits, 1 h") << 20000 << 64 << 32 << 24 << 3600 * kSecond << 400 << false;
    QTest::newRow("no folding, all, 1 px") << 3000 << 8192 << 8192 << 24 << qint64(0) << 1 << false;
    // the coarsest level full: what falls off it stays merged in it
    QTest::newRow("coarsest level full, all") << 20000 << 64 << 16 << 3 << qint64(0) << 600 << false;
}

void TstTrendStore::reductionKeepsEveryExtreme() {
    QFETCH(int, polls);
    QFETCH(int, recent);
    QFETCH(int, spans);
    QFETCH(int, levels);
    QFETCH(qint64, window);
    QFETCH(int, width);
    QFETCH(bool, exact);

    TrendStore store(2, TrendStore::Limits{recent, spans, levels});
    const Run run = fill(store, polls, 997, 0, 7u);
    const auto [from, to] = shownWindow(store, window);
    const qint64 column = (to - from) / width + 1;
    const qint64 span = store.pollsPerSpan() * kSecond;

    const auto pts = store.points(0, from, to, width);
    QVERIFY(!pts.empty());
    double outMax = -1e300, outMin = 1e300;
    std::vector<int> perColumn(std::size_t(width) + 2, 0);
    for (const TrendPoint& p : pts) {
        QVERIFY(!p.isBreak()); // no gaps in this run
        // nothing invented: every point is a poll as it came
        QCOMPARE(p.v, valueAt(run.series0, p.t));
        ++perColumn[std::size_t(columnOf(p.t, from, to, width) + 1)];
        if (p.t >= from && p.t <= to) {
            outMax = std::max(outMax, p.v);
            outMin = std::min(outMin, p.v);
        }
    }
    // bounded: at most a minimum and a maximum per pixel, one point each side of the window
    QVERIFY(perColumn.front() <= 1);
    for (int c = 1; c <= width; ++c)
        QVERIFY2(perColumn[std::size_t(c)] <= 2, qPrintable(QString::number(c)));
    QVERIFY(perColumn.back() == 0);

    double rawMax = -1e300, rawMin = 1e300;
    for (const Ref& r : run.series0)
        if (r.t >= from && r.t <= to) {
            rawMax = std::max(rawMax, r.v);
            rawMin = std::min(rawMin, r.v);
        }
    QCOMPARE(outMax, rawMax);
    QCOMPARE(outMin, rawMin);

    // every spike in the window shows: as polled where it has its pixel to itself, otherwise by a point at
    // least as far out within a pixel and a folded span of it
    int seen = 0;
    for (bool up : {true, false}) {
        for (qint64 ts : up ? run.spikesUp : run.spikesDown) {
            if (ts < from || ts > to)
                continue;
            ++seen;
            const double v = valueAt(run.series0, ts);
            const bool found = std::any_of(pts.begin(), pts.end(), [&](const TrendPoint& p) {
                if (exact)
                    return p.t == ts && p.v == v;
                return std::llabs(p.t - ts) <= column + span && (up ? p.v >= v : p.v <= v);
            });
            QVERIFY2(found, qPrintable(QStringLiteral("spike at +%1 s").arg((ts - kT0) / kSecond)));
        }
    }
    QVERIFY(window == 60 * kSecond || seen > 0);
}

void TstTrendStore::gapsSurviveReductionAndWindows_data() {
    QTest::addColumn<int>("recent");
    QTest::addColumn<int>("spans");
    QTest::addColumn<int>("series");
    QTest::addColumn<qint64>("window");
    QTest::addColumn<int>("width");

    QTest::newRow("as polled, all, 1200 px") << 8192 << 8192 << 0 << qint64(0) << 1200;
    QTest::newRow("as polled, all, 40 px") << 8192 << 8192 << 0 << qint64(0) << 40;
    QTest::newRow("as polled, 1 min") << 8192 << 8192 << 0 << 60 * kSecond << 1200;
    QTest::newRow("missing value, 10 min") << 8192 << 8192 << 1 << 600 * kSecond << 300;
    QTest::newRow("folded, all") << 256 << 64 << 0 << qint64(0) << 500;
    QTest::newRow("folded, missing value, all") << 256 << 64 << 1 << qint64(0) << 200;
    QTest::newRow("folded, 1 h") << 256 << 64 << 0 << 3600 * kSecond << 800;
}

void TstTrendStore::gapsSurviveReductionAndWindows() {
    QFETCH(int, recent);
    QFETCH(int, spans);
    QFETCH(int, series);
    QFETCH(qint64, window);
    QFETCH(int, width);

    TrendStore store(2, TrendStore::Limits{recent, spans});
    const Run run = fill(store, 7200, 0, 37, 11u);
    const std::vector<Ref>& ref = series == 0 ? run.series0 : run.series1;
    const auto [from, to] = shownWindow(store, window);
    const qint64 column = (to - from) / width + 1;
    const qint64 span = store.pollsPerSpan() * kSecond;
    const bool folded = store.pollsPerSpan() > 1 && from < to - qint64(recent) * kSecond;

    const auto pts = store.points(series, from, to, width);
    std::vector<qint64> gapTimes;
    for (const Ref& r : ref)
        if (std::isnan(r.v))
            gapTimes.push_back(r.t);

    // breaks only where a poll failed or had no value
    for (const TrendPoint& p : pts)
        if (p.isBreak())
            QVERIFY(std::binary_search(gapTimes.begin(), gapTimes.end(), p.t));
        else
            QCOMPARE(p.v, valueAt(ref, p.t));

    // every gap in the window breaks the curve near it
    for (qint64 g : gapTimes) {
        if (g < from || g > to)
            continue;
        const qint64 reach = folded ? column + span : column;
        const bool broken = std::any_of(pts.begin(), pts.end(),
                                        [&](const TrendPoint& p) { return p.isBreak() && std::llabs(p.t - g) <= reach; });
        QVERIFY2(broken, qPrintable(QStringLiteral("gap at +%1 s").arg((g - kT0) / kSecond)));
    }

    // where the polls are kept as they came, no line joins two pixels across a gap
    if (!folded) {
        for (std::size_t i = 1; i < pts.size(); ++i) {
            const TrendPoint& p = pts[i - 1];
            const TrendPoint& q = pts[i];
            if (p.isBreak() || q.isBreak() || columnOf(p.t, from, to, width) == columnOf(q.t, from, to, width))
                continue;
            const auto g = std::upper_bound(gapTimes.begin(), gapTimes.end(), p.t);
            QVERIFY2(g == gapTimes.end() || *g >= q.t,
                     qPrintable(QStringLiteral("joined across +%1 s").arg((*g - kT0) / kSecond)));
        }
    }
}

void TstTrendStore::statsOfTheVisiblePart_data() {
    QTest::addColumn<int>("recent");
    QTest::addColumn<int>("spans");
    QTest::addColumn<qint64>("window");
    QTest::addColumn<bool>("exactMean");

    QTest::newRow("as polled, 10 min") << 8192 << 8192 << 600 * kSecond << true;
    QTest::newRow("as polled, all") << 8192 << 8192 << qint64(0) << true;
    QTest::newRow("folded, all") << 128 << 32 << qint64(0) << true;
    QTest::newRow("folded, 1 h") << 128 << 32 << 3600 * kSecond << false;
}

void TstTrendStore::statsOfTheVisiblePart() {
    QFETCH(int, recent);
    QFETCH(int, spans);
    QFETCH(qint64, window);
    QFETCH(bool, exactMean);

    TrendStore store(2, TrendStore::Limits{recent, spans});
    const Run run = fill(store, 7200, 997, 53, 3u);
    const auto [from, to] = shownWindow(store, window);
    double mn = 1e300, mx = -1e300, sum = 0;
    qint64 n = 0;
    for (const Ref& r : run.series0)
        if (!std::isnan(r.v) && r.t >= from && r.t <= to) {
            mn = std::min(mn, r.v);
            mx = std::max(mx, r.v);
            sum += r.v;
            ++n;
        }
    const TrendStats st = store.stats(0, from, to);
    QVERIFY(st.count > 0);
    QCOMPARE(st.min, mn);
    QCOMPARE(st.max, mx);
    if (exactMean) {
        QCOMPARE(st.count, n);
        QVERIFY(std::abs(st.mean - sum / double(n)) < 1e-9);
    } else {
        QVERIFY(std::abs(st.count - n) <= 2 * store.pollsPerSpan());
    }
    // a window with no values has no statistics
    QCOMPARE(store.stats(0, to + kSecond, to + 60 * kSecond).count, qint64(0));
}

void TstTrendStore::nearestValue() {
    TrendStore store(2);
    QVERIFY(!store.nearest(0, kT0));
    store.addPoll(kT0, {1.5, 10.0});
    store.addGap(kT0 + 2 * kSecond);
    store.addPoll(kT0 + 4 * kSecond, {2.5, std::nullopt});

    auto at = [&](int s, qint64 t) { return *store.nearest(s, t); };
    QCOMPARE(at(0, kT0 - 5 * kSecond).t, kT0);
    QCOMPARE(*at(0, kT0 + 900).v, 1.5);
    QCOMPARE(at(0, kT0 + 1900).t, kT0 + 2 * kSecond);
    QVERIFY(!at(0, kT0 + 1900).v); // the failed poll: no value, never the one before it
    QCOMPARE(*at(0, kT0 + 60 * kSecond).v, 2.5);
    QVERIFY(!at(1, kT0 + 4 * kSecond).v); // answered, but this value missing
    QVERIFY(!store.nearest(2, kT0));
}

void TstTrendStore::clockSetBackKeepsOrder() {
    TrendStore store(1, TrendStore::Limits{4, 4});
    for (int i = 0; i < 20; ++i) // the clock steps back in the middle
        store.addPoll(kT0 + (i < 10 ? i : i - 30) * kSecond, {double(i)});
    const auto pts = store.points(0, store.firstTime(), store.lastTime(), 100);
    QVERIFY(std::is_sorted(pts.begin(), pts.end(), [](const TrendPoint& a, const TrendPoint& b) { return a.t < b.t; }));
    QCOMPARE(store.lastTime(), kT0 + 9 * kSecond);
    QCOMPARE(store.stats(0, store.firstTime(), store.lastTime()).max, 19.0);
}

void TstTrendStore::memoryIsBounded() {
    TrendStore store(4);
    const std::size_t taken = store.memoryBytes();
    QVERIFY(taken < 20u * 1024 * 1024);
    for (int i = 0; i < 300000; ++i) // three and a half days of 1 s polls
        store.addPoll(kT0 + qint64(i) * kSecond, {double(i % 100), 1.0, std::nullopt, -double(i)});
    QCOMPARE(store.memoryBytes(), taken);
    QCOMPARE(store.pollCount(), qint64(300000));
    const auto pts = store.points(3, store.firstTime(), store.lastTime(), 1280);
    QVERIFY(pts.size() <= 2 * 1280 + 2);
    QCOMPARE(store.stats(3, store.firstTime(), store.lastTime()).min, -299999.0);
    QCOMPARE(store.stats(3, store.firstTime(), store.lastTime()).count, qint64(300000));
    QCOMPARE(store.stats(2, store.firstTime(), store.lastTime()).count, qint64(0));
    QCOMPARE(store.firstTime(), kT0);
    store.clear();
    QVERIFY(store.isEmpty());
    QCOMPARE(store.memoryBytes(), taken);

    // with every level full, the coarsest one pairs up its spans: the run goes on in the same memory
    TrendStore small(1, TrendStore::Limits{16, 8, 4});
    const std::size_t smallTaken = small.memoryBytes();
    for (int i = 0; i < 50000; ++i)
        small.addPoll(kT0 + qint64(i) * kSecond, {double(i)});
    QCOMPARE(small.memoryBytes(), smallTaken);
    QCOMPARE(small.firstTime(), kT0);
    const TrendStats all = small.stats(0, small.firstTime(), small.lastTime());
    QCOMPARE(all.count, qint64(50000));
    QCOMPARE(all.min, 0.0);
    QCOMPARE(all.max, 49999.0);
    QVERIFY(small.points(0, small.firstTime(), small.lastTime(), 100).size() <= 202);
}

QTEST_GUILESS_MAIN(TstTrendStore)
#include "tst_trendstore.moc"
