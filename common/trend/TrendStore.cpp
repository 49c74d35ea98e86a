#include "TrendStore.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace trend {

namespace {

constexpr double kGap = std::numeric_limits<double>::quiet_NaN();

bool isGap(double v) { return v != v; }

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
        std::sort(items.begin(), items.begin() + n, [](const TrendPoint& a, const TrendPoint& b) { return a.t < b.t; });
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
      spanCap_(std::max(2, limits.reducedSpans & ~1)) {
    times_.resize(std::size_t(recentCap_));
    values_.resize(std::size_t(recentCap_) * std::size_t(series_));
    spans_.reserve(std::size_t(spanCap_));
    stats_.reserve(std::size_t(spanCap_) * std::size_t(series_));
    scratch_.resize(std::size_t(series_));
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
    spans_.clear();
    stats_.clear();
    spanPolls_ = 1;
    polls_ = 0;
    last_ = 0;
}

qint64 TrendStore::firstTime() const {
    if (!spans_.empty())
        return spans_.front().t0;
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
    const std::size_t slot = std::size_t((head_ + recent_) % recentCap_);
    times_[slot] = t;
    std::copy(values, values + series_, values_.begin() + std::ptrdiff_t(slot * std::size_t(series_)));
    ++recent_;
    ++polls_;
    last_ = t;
}

void TrendStore::fold(qint64 t, const double* values) {
    if (spans_.empty() || spans_.back().polls >= spanPolls_) {
        if (int(spans_.size()) == spanCap_)
            halveSpans();
        spans_.push_back(Span{t, t, 0});
        stats_.resize(stats_.size() + std::size_t(series_));
    }
    Span& span = spans_.back();
    span.t1 = t;
    ++span.polls;
    Stat* st = &stats_[(spans_.size() - 1) * std::size_t(series_)];
    for (int s = 0; s < series_; ++s) {
        Stat& x = st[s];
        const double v = values[s];
        if (isGap(v)) {
            if (x.gaps++ == 0)
                x.tGap = t;
            x.tGapLast = t;
            continue;
        }
        if (x.count == 0) {
            x.min = x.max = v;
            x.tMin = x.tMax = t;
        } else {
            if (v < x.min) {
                x.min = v;
                x.tMin = t;
            }
            if (v > x.max) {
                x.max = v;
                x.tMax = t;
            }
        }
        x.sum += v;
        ++x.count;
    }
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

// Pairs of neighbouring spans become one: memory stays put while each span covers twice as many polls.
void TrendStore::halveSpans() {
    const std::size_t n = spans_.size();
    const std::size_t ns = std::size_t(series_);
    std::size_t out = 0;
    for (std::size_t i = 0; i < n; i += 2, ++out) {
        Span span = spans_[i];
        std::vector<Stat>::iterator dst = stats_.begin() + std::ptrdiff_t(out * ns);
        std::copy_n(stats_.begin() + std::ptrdiff_t(i * ns), ns, dst);
        if (i + 1 < n) {
            const Span& next = spans_[i + 1];
            span.t1 = next.t1;
            span.polls += next.polls;
            for (std::size_t s = 0; s < ns; ++s)
                merge(dst[std::ptrdiff_t(s)], stats_[(i + 1) * ns + s]);
        }
        spans_[out] = span;
    }
    spans_.resize(out);
    stats_.resize(out * ns);
    spanPolls_ *= 2;
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

std::vector<TrendPoint> TrendStore::points(int series, qint64 from, qint64 to, int width) const {
    std::vector<TrendPoint> out;
    if (series < 0 || series >= series_ || polls_ == 0)
        return out;
    width = std::max(1, width);
    if (to <= from)
        to = from + 1;
    out.reserve(std::size_t(width) * 2 + 4);
    ColumnReducer reducer(from, to, width, out);

    // folded spans: from the last one that ends before the window
    auto first = std::lower_bound(spans_.begin(), spans_.end(), from,
                                  [](const Span& sp, qint64 t) { return sp.t1 < t; });
    if (first != spans_.begin())
        --first;
    for (auto it = first; it != spans_.end() && !reducer.done(); ++it) {
        const Stat& x = stat(std::size_t(it - spans_.begin()), series);
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
        std::sort(items.begin(), items.begin() + n, [](const TrendPoint& a, const TrendPoint& b) { return a.t < b.t; });
        for (int k = 0; k < n; ++k)
            reducer.feed(items[std::size_t(k)].t, items[std::size_t(k)].v);
    }
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
    auto first = std::lower_bound(spans_.begin(), spans_.end(), from,
                                  [](const Span& sp, qint64 t) { return sp.t1 < t; });
    for (auto it = first; it != spans_.end() && it->t0 <= to; ++it) {
        const Stat& x = stat(std::size_t(it - spans_.begin()), series);
        if (x.count == 0)
            continue;
        if (x.tMin >= from && x.tMin <= to)
            extreme(x.min);
        if (x.tMax >= from && x.tMax <= to)
            extreme(x.max);
        const qint64 mid = it->t0 + (it->t1 - it->t0) / 2;
        if (mid >= from && mid <= to) {
            sum += x.sum;
            count += x.count;
        } else {
            edgeSum += x.sum;
            edgeCount += x.count;
        }
    }
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
    if (!spans_.empty()) {
        const auto it = std::lower_bound(spans_.begin(), spans_.end(), t,
                                         [](const Span& sp, qint64 x) { return sp.t1 < x; });
        const std::ptrdiff_t j = it - spans_.begin();
        for (std::ptrdiff_t k = std::max<std::ptrdiff_t>(0, j - 1);
             k <= std::min<std::ptrdiff_t>(std::ptrdiff_t(spans_.size()) - 1, j + 1); ++k) {
            const Stat& x = stat(std::size_t(k), series);
            if (x.count > 0) {
                consider(x.tMin, x.min);
                consider(x.tMax, x.max);
            }
            if (x.gaps > 0) {
                consider(x.tGap, kGap);
                consider(x.tGapLast, kGap);
            }
        }
    }
    return best;
}

std::size_t TrendStore::memoryBytes() const {
    return sizeof(*this) + times_.capacity() * sizeof(qint64) + values_.capacity() * sizeof(double) +
           spans_.capacity() * sizeof(Span) + stats_.capacity() * sizeof(Stat) + scratch_.capacity() * sizeof(double);
}

} // namespace trend
