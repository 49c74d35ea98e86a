// The polled values of a diagnostics page against time, in bounded memory, for plotting.
// Recent polls are kept as they came; older ones are folded into spans that keep each series' minimum and
// maximum (with their times), sum, count and gaps, coarser the older they are, so a day of polling costs
// little more than an hour, no peak is lost and no poll costs more than a few merges. Window free: the
// chart asks it for the points of a time window at a pixel width.
#pragma once

#include <QtGlobal>
#include <QList>

#include <cstddef>
#include <optional>
#include <vector>

namespace trend {

// One point to draw, time in ms since the epoch. A NaN value is a break: the curve does not join across it.
struct TrendPoint {
    qint64 t = 0;
    double v = 0;
    bool isBreak() const { return v != v; }
};

// Minimum, maximum and mean of the values of one series in a time window; count 0 when there are none.
struct TrendStats {
    double min = 0;
    double max = 0;
    double mean = 0;
    qint64 count = 0;
};

// What lies nearest to a time: a poll's value, or a gap (no value) at that time.
struct TrendNearest {
    qint64 t = 0;
    std::optional<double> v;
};

class TrendStore {
public:
    struct Limits {
        int recentPolls = 8192;   // kept as they came: over two hours of 1 s polls
        int spansPerLevel = 2048; // folded polls: level k holds this many spans of 2^k polls each
        int levels = 20;          // 68 years of 1 s polls; when the coarsest is full, its neighbours pair up
    };

    explicit TrendStore(int seriesCount, Limits limits);
    explicit TrendStore(int seriesCount) : TrendStore(seriesCount, Limits{}) {}

    int seriesCount() const { return series_; }

    // One answered poll: a value per series, a missing one is a gap of that series. Polls come in time
    // order; a time before the last one (the clock set back) is taken as the last one.
    void addPoll(qint64 tMs, const QList<std::optional<double>>& values);
    // A failed poll, or the end of a run of measurements: every series breaks here.
    void addGap(qint64 tMs);
    void clear();

    bool isEmpty() const { return polls_ == 0; }
    qint64 pollCount() const { return polls_; } // every poll and gap ever added
    qint64 firstTime() const;
    qint64 lastTime() const { return last_; }

    // Points of `series` to draw for [from, to] across `width` pixels: per pixel at most its minimum and
    // maximum, in time order, and a break at the pixel's first and last gap. The last point before the
    // window and the first after it come along, so the curve runs to the edges. Every value is one that was
    // polled.
    std::vector<TrendPoint> points(int series, qint64 from, qint64 to, int width) const;

    // Minimum, maximum and mean of the values polled in [from, to]. Folded spans at the window's edges count
    // by the times of their extremes and by their middle for the mean.
    TrendStats stats(int series, qint64 from, qint64 to) const;

    // The poll (or folded extreme, or gap) of `series` nearest to `t`; none when the store is empty.
    std::optional<TrendNearest> nearest(int series, qint64 t) const;

    // Memory taken, all of it in the constructor: it does not grow with the run.
    std::size_t memoryBytes() const;
    // Polls in the coarsest span (1, 2, 4, ...): grows as the run gets longer.
    qint64 pollsPerSpan() const { return maxSpanPolls_; }

private:
    struct Span {
        qint64 t0 = 0;
        qint64 t1 = 0;
        qint64 polls = 0;
    };
    struct Stat {
        double min = 0, max = 0, sum = 0;
        qint64 tMin = 0, tMax = 0, tGap = 0, tGapLast = 0; // the first and the last gap in the span
        qint64 count = 0, gaps = 0;
    };
    // A ring of spans, oldest first.
    struct Level {
        std::vector<Span> spans;
        std::vector<Stat> stats;
        int head = 0;
        int size = 0;
    };

    void append(qint64 t, const double* values);
    void fold(qint64 t, const double* values);
    void push(std::size_t level, const Span& span, const Stat* stats);
    void reserveLevels();
    static void merge(Stat& into, const Stat& from);
    template <typename Visit> void forEachSpan(qint64 from, qint64 to, Visit visit) const;

    qint64 recentTime(int i) const { return times_[std::size_t((head_ + i) % recentCap_)]; }
    double recentValue(int i, int s) const {
        return values_[std::size_t((head_ + i) % recentCap_) * std::size_t(series_) + std::size_t(s)];
    }
    int recentLowerBound(qint64 t) const; // first recent poll at or after t
    std::size_t slot(const Level& l, int i) const { return std::size_t((l.head + i) % spanCap_); }

    int series_;
    int recentCap_;
    int spanCap_;
    int levelCap_;
    // recent polls: a ring of times and of values (NaN = gap), `head_` the oldest
    std::vector<qint64> times_;
    std::vector<double> values_;
    int head_ = 0;
    int recent_ = 0;
    // folded polls: levels_[0] the finest and newest, each older level twice as coarse
    std::vector<Level> levels_;
    std::size_t used_ = 0; // levels that have held spans
    std::vector<Stat> carry_; // per level, the merged pair on its way up
    qint64 maxSpanPolls_ = 1;

    qint64 polls_ = 0;
    qint64 last_ = 0;
    std::vector<double> scratch_;
};

} // namespace trend
