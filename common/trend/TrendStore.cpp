#include "TrendStore.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace trend {

namespace {

constexpr double kGap = std::numeric_limits<double>::quiet_NaN();

bool isGap(double v) { return v != v; }

// At most four items: insertion by time.
void sortByTime(std::array<TrendPoint, 4>& items, int n) {
    for (int i = 1; i < n; ++i)
        for (int j = i; j > 0 && items[std::size_t(j)].t < items[std::size_t(j - 1)].t; --j)
            std::swap(items[std::size_t(j)], items[std::size_t(j - 1)]);
}

// Gathers the items of one pixel column and hands them out as at most min, max and a break, in time order.
class ColumnReducer {
public:
    ColumnReducer(qint64 from, qint64 to, int width, std::vector<TrendPoint>& out)
        : from_(from), to_(to), width_(width), scale_(double(width) / double(to - from)), out_(out) {}

    // Items must come in time order.
    void feed(qint64 t, double v) {
        if (done_)
            return;
        if (t < from_) {
            before_ = TrendPoint{t, v};
            hasBefore_ = true;
            return;
        }
        if (hasBefore_) {
            out_.push_back(before_);
            hasBefore_ = false;
        }
        if (t > to_) {
            flush();
            out_.push_back(TrendPoint{t, v});
            done_ = true;
            return;
        }
        const int col = std::min(width_ - 1, int(std::floor(double(t - from_) * scale_)));
        if (col != col_) {
            flush();
            col_ = col;
        }
        if (isGap(v)) {
            if (!hasGap_) {
                gapT_ = t;
                hasGap_ = true;
            }
            gapLastT_ = t;
        } else if (!hasValue_) {
            min_ = max_ = TrendPoint{t, v};
            hasValue_ = true;
        } else {
            if (v < min_.v)
                min_ = TrendPoint{t, v};
            if (v > max_.v)
                max_ = TrendPoint{t, v};
        }
    }

    bool done() const { return done_; }

    void finish() {
        if (hasBefore_) {
            out_.push_back(before_);
            hasBefore_ = false;
        }
        flush();
    }

private:
    void flush() {
        std::array<TrendPoint, 4> items;
        int n = 0;
        if (hasValue_) {
            items[std::size_t(n++)] = min_;
            if (max_.t != min_.t || max_.v != min_.v)
                items[std::size_t(n++)] = max_;
        }
        // both ends of the column's gaps break, so no line joins across any of them to a neighbour column
        if (hasGap_) {
            items[std::size_t(n++)] = TrendPoint{gapT_, kGap};
            if (gapLastT_ != gapT_)
                items[std::size_t(n++)] = TrendPoint{gapLastT_, kGap};
        }
        sortByTime(items, n);
        out_.insert(out_.end(), items.begin(), items.begin() + n);
        hasValue_ = hasGap_ = false;
    }

    qint64 from_, to_;
    int width_;
    double scale_;
    std::vector<TrendPoint>& out_;
    int col_ = -1;
    bool hasValue_ = false, hasGap_ = false, hasBefore_ = false, done_ = false;
    TrendPoint min_, max_, before_;
    qint64 gapT_ = 0, gapLastT_ = 0;
};

} // namespace

TrendStore::TrendStore(int seriesCount, Limits limits)
    : series_(std::max(1, seriesCount)),
      recentCap_(std::max(2, limits.recentPolls)),
      spanCap_(std::max(2, limits.spansPerLevel)),
      levelCap_(std::clamp(limits.levels, 1, 40)) {
    times_.resize(std::size_t(recentCap_));
    values_.resize(std::size_t(recentCap_) * std::size_t(series_));
    scratch_.resize(std::size_t(series_));
    reserveLevels();
    carry_.resize(std::size_t(levelCap_ + 1) * std::size_t(series_));
}

// All the memory a run can take, once: no poll waits for an allocation. Reserved, not filled, so the
// system maps the pages only as spans arrive.
void TrendStore::reserveLevels() {
    levels_.resize(std::size_t(levelCap_));
    for (Level& l : levels_) {
        l.spans.reserve(std::size_t(spanCap_));
        l.stats.reserve(std::size_t(spanCap_) * std::size_t(series_));
    }
}

void TrendStore::addPoll(qint64 tMs, const QList<std::optional<double>>& values) {
    for (int s = 0; s < series_; ++s) {
        const auto& v = s < values.size() ? values[s] : std::optional<double>{};
        scratch_[std::size_t(s)] = v && std::isfinite(*v) ? *v : kGap;
    }
    append(tMs, scratch_.data());
}

void TrendStore::addGap(qint64 tMs) {
    std::fill(scratch_.begin(), scratch_.end(), kGap);
    append(tMs, scratch_.data());
}

void TrendStore::clear() {
    head_ = recent_ = 0;
    for (Level& l : levels_) {
        l.spans.clear();
        l.stats.clear();
        l.head = l.size = 0;
    }
    used_ = 0;
    maxSpanPolls_ = 1;
    polls_ = 0;
    last_ = 0;
}

qint64 TrendStore::firstTime() const {
    for (std::size_t k = used_; k-- > 0;)
        if (levels_[k].size > 0)
            return levels_[k].spans[slot(levels_[k], 0)].t0;
    return recent_ > 0 ? recentTime(0) : 0;
}

void TrendStore::append(qint64 t, const double* values) {
    if (polls_ > 0 && t < last_)
        t = last_;
    if (recent_ == recentCap_) {
        const std::size_t oldest = std::size_t(head_);
        fold(times_[oldest], &values_[oldest * std::size_t(series_)]);
        head_ = (head_ + 1) % recentCap_;
        --recent_;
    }
    const std::size_t at = std::size_t((head_ + recent_) % recentCap_);
    times_[at] = t;
    std::copy(values, values + series_, values_.begin() + std::ptrdiff_t(at * std::size_t(series_)));
    ++recent_;
    ++polls_;
    last_ = t;
}

// The oldest recent poll becomes a span of one poll on the finest level.
void TrendStore::fold(qint64 t, const double* values) {
    Stat* st = &carry_[0];
    for (int s = 0; s < series_; ++s) {
        Stat& x = st[s];
        x = Stat{};
        const double v = values[s];
        if (isGap(v)) {
            x.gaps = 1;
            x.tGap = x.tGapLast = t;
        } else {
            x.min = x.max = x.sum = v;
            x.tMin = x.tMax = t;
            x.count = 1;
        }
    }
    push(0, Span{t, t, 1}, st);
}

// A full level hands its two oldest spans, merged, to the next coarser one, so a poll costs at most one
// merge per level, never a pass over all spans.
void TrendStore::push(std::size_t level, const Span& span, const Stat* stats) {
    const std::size_t ns = std::size_t(series_);
    used_ = std::max(used_, level + 1);
    Level& l = levels_[level];
    if (l.size == spanCap_) {
        const std::size_t a = slot(l, 0), b = slot(l, 1);
        Span merged = l.spans[a];
        merged.t1 = l.spans[b].t1;
        merged.polls += l.spans[b].polls;
        maxSpanPolls_ = std::max(maxSpanPolls_, merged.polls);
        if (level + 1 == std::size_t(levelCap_)) {
            // no coarser level: neighbours pair up across the whole level. With the default limits this
            // happens after centuries of polling, never within a run.
            Stat* pair = &carry_[std::size_t(levelCap_) * ns];
            int out = 0;
            for (int i = 0; i < l.size; i += 2, ++out) {
                const std::size_t x = slot(l, i), to = slot(l, out);
                Span joined = l.spans[x];
                std::copy_n(l.stats.begin() + std::ptrdiff_t(x * ns), ns, pair);
                if (i + 1 < l.size) {
                    const std::size_t y = slot(l, i + 1);
                    joined.t1 = l.spans[y].t1;
                    joined.polls += l.spans[y].polls;
                    for (std::size_t s = 0; s < ns; ++s)
                        merge(pair[s], l.stats[y * ns + s]);
                }
                l.spans[to] = joined;
                std::copy_n(pair, ns, l.stats.begin() + std::ptrdiff_t(to * ns));
                maxSpanPolls_ = std::max(maxSpanPolls_, joined.polls);
            }
            l.size = out;
        } else {
            Stat* up = &carry_[(level + 1) * ns]; // the caller's stats are in the carry slot of this level
            std::copy_n(l.stats.begin() + std::ptrdiff_t(a * ns), ns, up);
            for (std::size_t s = 0; s < ns; ++s)
                merge(up[s], l.stats[b * ns + s]);
            l.head = (l.head + 2) % spanCap_;
            l.size -= 2;
            push(level + 1, merged, up);
        }
    }
    Level& dst = levels_[level];
    if (int(dst.spans.size()) < spanCap_) { // still filling for the first time: head 0, no wrap
        dst.spans.push_back(span);
        dst.stats.insert(dst.stats.end(), stats, stats + ns);
    } else {
        const std::size_t at = slot(dst, dst.size);
        dst.spans[at] = span;
        std::copy_n(stats, ns, dst.stats.begin() + std::ptrdiff_t(at * ns));
    }
    ++dst.size;
}

void TrendStore::merge(Stat& into, const Stat& from) {
    if (from.gaps > 0) {
        if (into.gaps == 0)
            into.tGap = from.tGap;
        into.tGapLast = from.tGapLast;
        into.gaps += from.gaps;
    }
    if (from.count == 0)
        return;
    if (into.count == 0) {
        into.min = from.min;
        into.max = from.max;
        into.tMin = from.tMin;
        into.tMax = from.tMax;
    } else {
        if (from.min < into.min) {
            into.min = from.min;
            into.tMin = from.tMin;
        }
        if (from.max > into.max) {
            into.max = from.max;
            into.tMax = from.tMax;
        }
    }
    into.sum += from.sum;
    into.count += from.count;
}

int TrendStore::recentLowerBound(qint64 t) const {
    int lo = 0, hi = recent_;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (recentTime(mid) < t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// Visits the folded spans in time order, from the last one that ends before `from` to the first one that
// starts after `to`; `visit(span, stats)` returns false to stop.
template <typename Visit> void TrendStore::forEachSpan(qint64 from, qint64 to, Visit visit) const {
    const std::size_t ns = std::size_t(series_);
    for (std::size_t level = used_; level-- > 0;) {
        const Level& l = levels_[level];
        int lo = 0, hi = l.size;
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (l.spans[slot(l, mid)].t1 < from)
                lo = mid + 1;
            else
                hi = mid;
        }
        for (int i = std::max(0, lo - 1); i < l.size; ++i) {
            const std::size_t k = slot(l, i);
            if (!visit(l.spans[k], &l.stats[k * ns]))
                return;
            if (l.spans[k].t0 > to)
                break;
        }
    }
}

std::vector<TrendPoint> TrendStore::points(int series, qint64 from, qint64 to, int width) const {
    std::vector<TrendPoint> out;
    if (series < 0 || series >= series_ || polls_ == 0)
        return out;
    width = std::max(1, width);
    if (to <= from)
        to = from + 1;
    out.reserve(std::size_t(width) * 2 + 4);
    ColumnReducer reducer(from, to, width, out);

    forEachSpan(from, to, [&](const Span&, const Stat* st) {
        const Stat& x = st[series];
        std::array<TrendPoint, 4> items;
        int n = 0;
        if (x.count > 0) {
            items[std::size_t(n++)] = TrendPoint{x.tMin, x.min};
            if (x.tMax != x.tMin)
                items[std::size_t(n++)] = TrendPoint{x.tMax, x.max};
        }
        if (x.gaps > 0) {
            items[std::size_t(n++)] = TrendPoint{x.tGap, kGap};
            if (x.tGapLast != x.tGap)
                items[std::size_t(n++)] = TrendPoint{x.tGapLast, kGap};
        }
        sortByTime(items, n);
        for (int k = 0; k < n; ++k)
            reducer.feed(items[std::size_t(k)].t, items[std::size_t(k)].v);
        return !reducer.done();
    });
    // recent polls: from the last one before the window
    for (int i = std::max(0, recentLowerBound(from) - 1); i < recent_ && !reducer.done(); ++i)
        reducer.feed(recentTime(i), recentValue(i, series));
    reducer.finish();
    return out;
}

TrendStats TrendStore::stats(int series, qint64 from, qint64 to) const {
    TrendStats r;
    if (series < 0 || series >= series_)
        return r;
    bool hasExt = false;
    double sum = 0;
    qint64 count = 0;
    double edgeSum = 0;
    qint64 edgeCount = 0;
    auto extreme = [&](double v) {
        if (!hasExt) {
            r.min = r.max = v;
            hasExt = true;
        } else {
            r.min = std::min(r.min, v);
            r.max = std::max(r.max, v);
        }
    };
    forEachSpan(from, to, [&](const Span& sp, const Stat* st) {
        const Stat& x = st[series];
        if (x.count == 0 || sp.t1 < from || sp.t0 > to)
            return true;
        if (x.tMin >= from && x.tMin <= to)
            extreme(x.min);
        if (x.tMax >= from && x.tMax <= to)
            extreme(x.max);
        const qint64 mid = sp.t0 + (sp.t1 - sp.t0) / 2;
        if (mid >= from && mid <= to) {
            sum += x.sum;
            count += x.count;
        } else {
            edgeSum += x.sum;
            edgeCount += x.count;
        }
        return true;
    });
    for (int i = recentLowerBound(from); i < recent_ && recentTime(i) <= to; ++i) {
        const double v = recentValue(i, series);
        if (isGap(v))
            continue;
        extreme(v);
        sum += v;
        ++count;
    }
    if (count == 0 && hasExt) { // a window inside one folded span: its mean is the best there is
        sum = edgeSum;
        count = edgeCount;
    }
    if (!hasExt || count == 0)
        return TrendStats{};
    r.mean = sum / double(count);
    r.count = count;
    return r;
}

std::optional<TrendNearest> TrendStore::nearest(int series, qint64 t) const {
    if (series < 0 || series >= series_ || polls_ == 0)
        return std::nullopt;
    std::optional<TrendNearest> best;
    auto consider = [&](qint64 at, double v) {
        if (!best || std::llabs(at - t) < std::llabs(best->t - t))
            best = TrendNearest{at, isGap(v) ? std::optional<double>{} : std::optional<double>{v}};
    };
    const int i = recentLowerBound(t);
    if (i < recent_)
        consider(recentTime(i), recentValue(i, series));
    if (i > 0)
        consider(recentTime(i - 1), recentValue(i - 1, series));
    forEachSpan(t, t, [&](const Span&, const Stat* st) {
        const Stat& x = st[series];
        if (x.count > 0) {
            consider(x.tMin, x.min);
            consider(x.tMax, x.max);
        }
        if (x.gaps > 0) {
            consider(x.tGap, kGap);
            consider(x.tGapLast, kGap);
        }
        return true;
    });
    return best;
}

std::size_t TrendStore::memoryBytes() const {
    std::size_t bytes = sizeof(*this) + times_.capacity() * sizeof(qint64) + values_.capacity() * sizeof(double) +
                        levels_.capacity() * sizeof(Level) + carry_.capacity() * sizeof(Stat) +
                        scratch_.capacity() * sizeof(double);
    for (const Level& l : levels_)
        bytes += l.spans.capacity() * sizeof(Span) + l.stats.capacity() * sizeof(Stat);
    return bytes;
}

} // namespace trend
