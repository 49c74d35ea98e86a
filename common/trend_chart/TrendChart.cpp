#include "TrendChart.h"

#include <QAction>
#include <QChart>
#include <QCategoryAxis>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsItem>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QStandardPaths>
#include <QTimer>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace trend {

namespace {

constexpr int kRedrawMs = 250;           // at most four redraws a second
constexpr int kSlowestRedrawMs = 5000;
constexpr qint64 kMinute = 60'000;
constexpr double kBoldOffset = 0.6;      // px between the two passes of a curve

// Colours that stay apart on white and for the common kinds of colour blindness.
const QColor kPalette[] = {QColor(0xC6, 0x28, 0x28), QColor(0x15, 0x65, 0xC0), QColor(0x2E, 0x7D, 0x32),
                           QColor(0xEF, 0x6C, 0x00), QColor(0x6A, 0x1B, 0x9A), QColor(0x00, 0x83, 0x8F)};

QColor colourOf(int series) { return kPalette[series % int(std::size(kPalette))]; }

// A step of 1, 2, 2.5 or 5 times a power of ten that cuts `range` into at most `ticks` parts.
double niceStep(double range, int ticks) {
    const double raw = range / std::max(1, ticks);
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * p >= raw * 0.999)
            return m * p;
    return 10 * p;
}

// Decimals that tell the ticks of `step` apart.
int decimalsOf(double step) {
    int d = std::max(0, int(-std::floor(std::log10(step) + 1e-9)));
    const double scaled = step * std::pow(10.0, d);
    if (std::abs(scaled - std::round(scaled)) > 1e-6) // 2.5 times a power of ten
        ++d;
    return std::min(d, 6);
}

} // namespace

// The curves over the plot area: paths with breaks at gaps, lone points as dots.
class TrendCurvesItem : public QGraphicsItem {
public:
    struct Curve {
        QList<QLineF> lines; // the segments of the unbroken pieces
        QList<QPointF> dots;
        QColor colour;
    };

    explicit TrendCurvesItem(QGraphicsItem* parent) : QGraphicsItem(parent) { setZValue(50); }

    void setCurves(const QRectF& area, std::vector<Curve> curves) {
        prepareGeometryChange();
        area_ = area;
        curves_ = std::move(curves);
        update();
    }

    // the polls under the mouse, ringed
    void setMarks(std::vector<std::pair<QPointF, QColor>> marks) {
        marks_ = std::move(marks);
        update();
    }

    QRectF boundingRect() const override { return area_.adjusted(-8, -8, 8, 8); }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
        painter->save();
        painter->setClipRect(area_.adjusted(-1, -3, 1, 3));
        painter->setRenderHint(QPainter::Antialiasing, true);
        for (const Curve& c : curves_) {
            // A 1 px cosmetic pen takes the raster engine's fast path; a wider pen goes through the general
            // stroker, some ten times slower on a curve of 2,400 points. Two passes a little apart look as
            // bold as a 2 px pen at the cost of two thin ones.
            QPen pen(c.colour, 1.0);
            pen.setCosmetic(true);
            painter->setPen(pen);
            painter->setBrush(Qt::NoBrush);
            painter->drawLines(c.lines);
            painter->translate(kBoldOffset, kBoldOffset);
            painter->drawLines(c.lines);
            painter->translate(-kBoldOffset, -kBoldOffset);
            if (!c.dots.isEmpty()) {
                pen.setWidthF(4.5);
                pen.setCapStyle(Qt::RoundCap);
                painter->setPen(pen);
                painter->drawPoints(c.dots.constData(), int(c.dots.size()));
            }
        }
        for (const auto& [at, colour] : marks_) {
            painter->setPen(QPen(colour, 2.0));
            painter->setBrush(Qt::white);
            painter->drawEllipse(at, 4.0, 4.0);
        }
        painter->restore();
    }

private:
    QRectF area_;
    std::vector<Curve> curves_;
    std::vector<std::pair<QPointF, QColor>> marks_;
};

TrendChart::TrendChart(QWidget* parent)
    : QChartView(parent), chart_(new QChart), axisX_(new QCategoryAxis), store_(std::make_unique<TrendStore>(1)),
      redrawTimer_(new QTimer(this)), pauseAction_(new QAction(u"Пауза"_s, this)),
      recordAction_(new QAction(this)) {
    setObjectName(u"TrendChart"_s);
    setChart(chart_);
    setRenderHint(QPainter::Antialiasing, true);
    setMouseTracking(true);
    setMinimumSize(360, 240);

    chart_->setObjectName(u"TrendChartChart"_s);
    chart_->setLocalizeNumbers(true);
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->setBackgroundRoundness(0);
    chart_->setMargins(QMargins(6, 6, 6, 6));
    chart_->legend()->setAlignment(Qt::AlignTop);
    chart_->legend()->setShowToolTips(true);

    axisX_->setObjectName(u"TrendAxisTime"_s);
    axisX_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    chart_->addAxis(axisX_, Qt::AlignBottom);

    curves_ = new TrendCurvesItem(chart_);
    hoverLine_ = new QGraphicsLineItem(chart_);
    hoverLine_->setPen(QPen(QColor(0x55, 0x55, 0x55), 0, Qt::DashLine));
    hoverLine_->setZValue(60);
    hoverBox_ = new QGraphicsRectItem(chart_);
    hoverBox_->setBrush(QColor(255, 255, 240, 235));
    hoverBox_->setPen(QPen(QColor(0x88, 0x88, 0x88), 0));
    hoverBox_->setZValue(70);
    hoverLabel_ = new QGraphicsSimpleTextItem(hoverBox_);
    hideHover();

    redrawTimer_->setSingleShot(true);
    connect(redrawTimer_, &QTimer::timeout, this, &TrendChart::redraw);
    connect(chart_, &QChart::plotAreaChanged, this, [this] { rebuildPaths(); });

    pauseAction_->setObjectName(u"ActionTrendPause"_s);
    pauseAction_->setCheckable(true);
    pauseAction_->setToolTip(u"Остановить прокрутку графика (опрос продолжается)"_s);
    connect(pauseAction_, &QAction::toggled, this, &TrendChart::setPaused);
    recordAction_->setObjectName(u"ActionRecordCsv"_s);
    connect(recordAction_, &QAction::triggered, this, &TrendChart::toggleRecording);
    updateRecordAction();
    addAction(pauseAction_);
    addAction(recordAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    askFile_ = [](QWidget* p, const QString& suggested) {
        QFileDialog dialog(p, u"Запись в файл"_s, QFileInfo(suggested).absolutePath(),
                           u"Файлы CSV (*.csv);;Все файлы (*)"_s);
        dialog.setObjectName(u"FileDialogRecordCsv"_s);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(u"csv"_s); // a name typed without one still opens in a spreadsheet
        dialog.selectFile(QFileInfo(suggested).fileName());
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    reportError_ = [this](const QString& text) { QMessageBox::warning(window(), u"Запись в файл"_s, text); };
    recordFolder_ = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

TrendChart::~TrendChart() = default;

QString TrendChart::windowText(TrendWindow window) {
    switch (window) {
    case TrendWindow::Minute:
        return u"1 мин"_s;
    case TrendWindow::TenMinutes:
        return u"10 мин"_s;
    case TrendWindow::Hour:
        return u"1 ч"_s;
    case TrendWindow::All:
        break;
    }
    return u"Всё"_s;
}

void TrendChart::setSeries(const QList<TrendSeries>& series) {
    stopRecording();
    for (QLineSeries* s : std::as_const(legendOf_)) {
        chart_->removeSeries(s);
        delete s;
    }
    for (QValueAxis* a : std::as_const(axesY_)) {
        chart_->removeAxis(a);
        delete a;
    }
    legendOf_.clear();
    axesY_.clear();
    axisOf_.clear();
    series_ = series;
    visible_ = QList<bool>(series.size(), true);
    store_ = std::make_unique<TrendStore>(int(series.size()));
    points_.assign(std::size_t(series.size()), {});

    QStringList units;
    for (int i = 0; i < series.size(); ++i) {
        const TrendSeries& one = series[i];
        int axis = int(units.indexOf(one.unit));
        if (axis < 0) {
            axis = int(units.size());
            units << one.unit;
            auto* a = new QValueAxis;
            a->setObjectName(u"TrendAxis_"_s + one.unit);
            a->setTitleText(one.unit);
            a->setRange(0, 1);
            // the first unit on the left, the others on the right
            chart_->addAxis(a, axis % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
            if (axis > 0)
                a->setGridLineVisible(false);
            axesY_ << a;
        }
        axisOf_ << axis;
        auto* s = new QLineSeries;
        s->setObjectName(u"TrendSeries_"_s + one.name);
        s->setName(one.unit.isEmpty() ? one.name : one.name + u", "_s + one.unit);
        QPen pen(colourOf(i), 2.0);
        s->setPen(pen);
        chart_->addSeries(s);
        s->attachAxis(axisX_);
        s->attachAxis(axesY_[axis]);
        legendOf_ << s;
        QLegendMarker* marker = chart_->legend()->markers(s).value(0);
        if (marker)
            connect(marker, &QLegendMarker::clicked, this, [this, i] { setSeriesVisible(i, !isSeriesVisible(i)); });
        updateMarker(i);
    }
    // axes of the units in the series' colour where one series has the unit to itself
    for (int a = 0; a < axesY_.size(); ++a) {
        if (axisOf_.count(a) == 1) {
            const QColor c = colourOf(int(axisOf_.indexOf(a)));
            axesY_[a]->setLinePenColor(c);
            axesY_[a]->setLabelsColor(c);
            axesY_[a]->setTitleBrush(c);
        }
    }
    updateRecordAction();
    from_ = to_ = 0;
    scheduleRedraw();
}

void TrendChart::addPoll(const QDateTime& time, const QList<std::optional<double>>& values, const QString& failure) {
    const qint64 t = time.toMSecsSinceEpoch();
    if (failure.isEmpty())
        store_->addPoll(t, values);
    else
        store_->addGap(t);
    if (recorder_.isRecording()) {
        if (recorder_.writeRow(time, failure.isEmpty() ? values : QList<std::optional<double>>{},
                               failure.isEmpty() ? QString::fromLatin1(CsvRecorder::kOk) : failure))
            Q_EMIT recordingChanged();
        else
            recordFailed();
    }
    if (!paused_)
        scheduleRedraw();
}

void TrendChart::addBreak(const QDateTime& time) {
    store_->addGap(time.toMSecsSinceEpoch());
    if (!paused_)
        scheduleRedraw();
}

void TrendChart::clearData() {
    store_->clear();
    scheduleRedraw();
}

void TrendChart::setRecordingContext(const QString& type, const QString& sensorNumber) {
    recordType_ = type;
    recordNumber_ = sensorNumber;
}

void TrendChart::setTimeWindow(TrendWindow window) {
    if (window_ == window)
        return;
    window_ = window;
    scheduleRedraw();
    if (redrawTimer_->isActive() && isVisible()) // a choice of the user shows at once
        redrawNow();
}

void TrendChart::setPaused(bool paused) {
    if (paused_ == paused)
        return;
    paused_ = paused;
    pausedAt_ = store_->lastTime();
    if (pauseAction_->isChecked() != paused)
        pauseAction_->setChecked(paused);
    scheduleRedraw();
    if (isVisible())
        redrawNow();
}

void TrendChart::setSeriesVisible(int series, bool visible) {
    if (series < 0 || series >= visible_.size() || visible_[series] == visible)
        return;
    visible_[series] = visible;
    updateMarker(series);
    scheduleRedraw();
    if (isVisible())
        redrawNow();
}

bool TrendChart::isSeriesVisible(int series) const { return series >= 0 && series < visible_.size() && visible_[series]; }

void TrendChart::updateMarker(int series) {
    QLegendMarker* marker = chart_->legend()->markers(legendOf_.value(series)).value(0);
    if (!marker)
        return;
    const bool on = visible_.value(series);
    QColor c = colourOf(series);
    QColor label = chart_->legend()->labelColor();
    if (!on) {
        c.setAlpha(60);
        label = QColor(0xA0, 0xA0, 0xA0);
    }
    marker->setBrush(c);
    marker->setPen(QPen(c));
    marker->setLabelBrush(label);
    QFont f = marker->font();
    f.setStrikeOut(!on);
    marker->setFont(f);
}

qint64 TrendChart::windowLength() const {
    switch (window_) {
    case TrendWindow::Minute:
        return kMinute;
    case TrendWindow::TenMinutes:
        return 10 * kMinute;
    case TrendWindow::Hour:
        return 60 * kMinute;
    case TrendWindow::All:
        break;
    }
    return 0;
}

// At most four redraws a second, and no more often than the window moves by a pixel (up to a redraw every
// 5 s): a day in the "Всё" window moves a pixel a minute.
void TrendChart::scheduleRedraw() {
    dirty_ = true;
    if (!isVisible() || redrawTimer_->isActive())
        return;
    const double width = std::max(1.0, chart_->plotArea().width());
    const qint64 shown = window_ == TrendWindow::All ? std::max<qint64>(to_ - from_, 0) : windowLength();
    redrawTimer_->start(int(std::clamp<qint64>(qint64(double(shown) / width), kRedrawMs, kSlowestRedrawMs)));
}

void TrendChart::redrawNow() {
    redrawTimer_->stop();
    redraw();
}

void TrendChart::showEvent(QShowEvent* event) {
    QChartView::showEvent(event);
    if (dirty_)
        redrawNow();
}

void TrendChart::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    scheduleRedraw();
}

void TrendChart::redraw() {
    if (!isVisible()) // nothing is drawn for a hidden page; showEvent catches up
        return;
    dirty_ = false;
    ++redraws_;
    const qint64 end = paused_ ? pausedAt_ : store_->lastTime();
    if (store_->isEmpty()) {
        to_ = QDateTime::currentMSecsSinceEpoch();
        from_ = to_ - (windowLength() > 0 ? windowLength() : kMinute);
    } else if (window_ == TrendWindow::All) {
        from_ = store_->firstTime();
        to_ = std::max(end, from_ + 10'000);
    } else {
        to_ = end;
        from_ = end - windowLength();
    }
    updateTimeAxis();

    // value axes over what their shown series hold in the window
    for (int a = 0; a < axesY_.size(); ++a) {
        double lo = 0, hi = 0;
        bool any = false;
        bool shown = false;
        for (int s = 0; s < series_.size(); ++s) {
            if (axisOf_[s] != a || !visible_[s])
                continue;
            shown = true;
            const TrendStats st = store_->stats(s, from_, to_);
            if (st.count == 0)
                continue;
            lo = any ? std::min(lo, st.min) : st.min;
            hi = any ? std::max(hi, st.max) : st.max;
            any = true;
        }
        axesY_[a]->setVisible(shown);
        if (!any)
            continue;
        const double pad = hi > lo ? (hi - lo) * 0.04 : std::max(0.5, std::abs(hi) * 0.01);
        const int ticks = std::clamp(int(chart_->plotArea().height() / 70), 3, 10);
        const double step = niceStep(hi - lo + 2 * pad, ticks);
        const double bottom = std::floor((lo - pad) / step) * step;
        const double top = std::ceil((hi + pad) / step) * step;
        axesY_[a]->setRange(bottom, top);
        axesY_[a]->setTickCount(int(std::lround((top - bottom) / step)) + 1);
        axesY_[a]->setLabelFormat(u"%.%1f"_s.arg(decimalsOf(step)));
    }
    const int width = std::max(1, int(chart_->plotArea().width()));
    for (int s = 0; s < series_.size(); ++s)
        points_[std::size_t(s)] = visible_[s] ? store_->points(s, from_, to_, width) : std::vector<TrendPoint>{};
    rebuildPaths();
    updateHover();
    Q_EMIT viewChanged();
}

// Ticks at round local times, as many as fit the width.
void TrendChart::updateTimeAxis() {
    static const qint64 kSteps[] = {1'000, 2'000, 5'000, 10'000, 15'000, 30'000, kMinute, 2 * kMinute, 5 * kMinute,
                                    10 * kMinute, 15 * kMinute, 30 * kMinute, 60 * kMinute, 120 * kMinute,
                                    180 * kMinute, 360 * kMinute, 720 * kMinute, 1440 * kMinute, 2880 * kMinute,
                                    10080 * kMinute};
    const qint64 length = to_ - from_;
    const int fit = std::clamp(int(chart_->plotArea().width() / 110), 2, 12);
    qint64 step = kSteps[std::size(kSteps) - 1];
    for (qint64 s : kSteps)
        if (length / s <= fit) {
            step = s;
            break;
        }
    const QString format = length > 20 * 3600'000 ? u"dd.MM HH:mm"_s : step < kMinute ? u"HH:mm:ss"_s : u"HH:mm"_s;
    const qint64 offset = qint64(QDateTime::fromMSecsSinceEpoch(from_).offsetFromUtc()) * 1000;
    QList<qint64> ticks;
    for (qint64 tick = ((from_ + offset + step - 1) / step) * step - offset; tick <= to_; tick += step)
        ticks << tick;
    // each change of the categories lays the axis out anew: change them only when a tick comes or goes
    if (ticks != ticks_ || format != tickFormat_) {
        for (const QString& label : axisX_->categoriesLabels())
            axisX_->remove(label);
        for (qint64 tick : std::as_const(ticks))
            axisX_->append(QDateTime::fromMSecsSinceEpoch(tick).toString(format), double(tick));
        ticks_ = ticks;
        tickFormat_ = format;
    }
    axisX_->setStartValue(double(from_));
    axisX_->setRange(double(from_), double(to_));
}

void TrendChart::rebuildPaths() {
    const QRectF area = chart_->plotArea();
    std::vector<TrendCurvesItem::Curve> curves;
    if (to_ > from_ && area.width() > 0) {
        const double kx = area.width() / double(to_ - from_);
        for (int s = 0; s < series_.size(); ++s) {
            if (!visible_[s] || points_[std::size_t(s)].empty())
                continue;
            const QValueAxis* axis = axesY_[axisOf_[s]];
            const double span = axis->max() - axis->min();
            if (!(span > 0))
                continue;
            const double ky = area.height() / span;
            TrendCurvesItem::Curve c;
            c.colour = colourOf(s);
            c.lines.reserve(qsizetype(points_[std::size_t(s)].size()));
            int run = 0; // points in the current unbroken piece
            QPointF last;
            for (const TrendPoint& p : points_[std::size_t(s)]) {
                if (p.isBreak()) {
                    if (run == 1)
                        c.dots << last;
                    run = 0;
                    continue;
                }
                const QPointF q(area.left() + double(p.t - from_) * kx, area.bottom() - (p.v - axis->min()) * ky);
                if (run > 0)
                    c.lines << QLineF(last, q);
                last = q;
                ++run;
            }
            if (run == 1)
                c.dots << last;
            curves.push_back(std::move(c));
        }
    }
    curves_->setCurves(area, std::move(curves));
}

TrendStats TrendChart::visibleStats(int series) const {
    if (series < 0 || series >= series_.size() || to_ <= from_)
        return {};
    return store_->stats(series, from_, to_);
}

QString TrendChart::formatValue(int series, double v) const {
    return QLocale().toString(v, 'f', std::max(0, series_.value(series).decimals));
}

QString TrendChart::statsLine(int s) const {
    if (!isSeriesVisible(s))
        return {};
    const TrendStats st = visibleStats(s);
    const QString unit = series_[s].unit.isEmpty() ? QString() : u" "_s + series_[s].unit;
    if (st.count == 0)
        return series_[s].name + u": нет данных"_s;
    return u"%1: мин %2, макс %3, среднее %4%5"_s.arg(series_[s].name, formatValue(s, st.min), formatValue(s, st.max),
                                                       formatValue(s, st.mean), unit);
}

QString TrendChart::statsText() const {
    QStringList lines;
    for (int s = 0; s < series_.size(); ++s)
        if (isSeriesVisible(s))
            lines << statsLine(s);
    return lines.join(u'\n');
}

QColor TrendChart::seriesColour(int series) { return colourOf(series); }

void TrendChart::mouseMoveEvent(QMouseEvent* event) {
    QChartView::mouseMoveEvent(event);
    hoverAt(event->position());
}

void TrendChart::leaveEvent(QEvent* event) {
    QChartView::leaveEvent(event);
    hoverPos_.reset();
    hideHover();
}

void TrendChart::hoverAt(const QPointF& viewPos) {
    hoverPos_ = chart_->mapFromScene(mapToScene(viewPos.toPoint()));
    updateHover();
}

void TrendChart::hideHover() {
    hoverLine_->hide();
    hoverBox_->hide();
    curves_->setMarks({});
}

QString TrendChart::hoverText() const { return hoverBox_->isVisible() ? hoverLabel_->text() : QString(); }

void TrendChart::updateHover() {
    const QRectF area = chart_->plotArea();
    if (!hoverPos_ || !area.contains(*hoverPos_) || to_ <= from_ || store_->isEmpty()) {
        hideHover();
        return;
    }
    const double kx = double(to_ - from_) / area.width();
    const qint64 t = from_ + qint64(std::llround((hoverPos_->x() - area.left()) * kx));
    // a poll further than a few pixels or a few seconds away is not under the mouse
    const qint64 reach = std::max<qint64>(qint64(6 * kx), 3000);
    QStringList lines;
    std::optional<qint64> at;
    std::vector<std::pair<QPointF, QColor>> marks;
    for (int s = 0; s < series_.size(); ++s) {
        if (!visible_[s])
            continue;
        const auto n = store_->nearest(s, t);
        QString text = u"—"_s;
        if (n && std::llabs(n->t - t) <= reach) {
            if (!at)
                at = n->t;
            const QValueAxis* axis = axesY_[axisOf_[s]];
            if (n->v && axis->max() > axis->min())
                marks.emplace_back(QPointF(area.left() + double(n->t - from_) / kx,
                                           area.bottom() - (*n->v - axis->min()) / (axis->max() - axis->min()) * area.height()),
                                   colourOf(s));
            text = n->v ? formatValue(s, *n->v) + (series_[s].unit.isEmpty() ? QString() : u" "_s + series_[s].unit)
                        : u"нет данных"_s;
        }
        lines << series_[s].name + u": "_s + text;
    }
    const qint64 shownAt = at.value_or(t);
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(shownAt);
    lines.prepend(when.toString(to_ - from_ > 20 * 3600'000 ? u"dd.MM.yyyy HH:mm:ss"_s : u"HH:mm:ss"_s));
    hoverLabel_->setText(lines.join(u'\n'));

    const double x = area.left() + double(shownAt - from_) / kx;
    hoverLine_->setLine(x, area.top(), x, area.bottom());
    hoverLine_->show();
    const QRectF text = hoverLabel_->boundingRect();
    QRectF box(0, 0, text.width() + 12, text.height() + 8);
    double bx = hoverPos_->x() + 14;
    if (bx + box.width() > area.right())
        bx = hoverPos_->x() - 14 - box.width();
    const double by = std::clamp(hoverPos_->y() - box.height() / 2, area.top(), std::max(area.top(), area.bottom() - box.height()));
    hoverBox_->setRect(box);
    hoverBox_->setPos(bx, by);
    hoverLabel_->setPos(6, 4);
    hoverBox_->show();
    curves_->setMarks(std::move(marks));
}

QString TrendChart::recordStatusText() const {
    const QString name = QFileInfo(recorder_.path()).fileName();
    if (name.isEmpty())
        return {};
    const QString rows = QString::number(recorder_.rows());
    if (recorder_.isRecording())
        return u"Запись: %1, строк: %2"_s.arg(name, rows);
    if (recordFailed_)
        return u"Запись прервана: %1, строк: %2"_s.arg(name, rows);
    return u"Записано: %1, строк: %2"_s.arg(name, rows);
}

bool TrendChart::startRecording(const QString& path) {
    QList<CsvColumn> columns;
    for (const TrendSeries& s : std::as_const(series_))
        columns << CsvColumn{s.name, s.unit, s.decimals};
    recordFailed_ = false;
    const bool ok = recorder_.start(path, columns);
    if (ok)
        recordFolder_ = QFileInfo(path).absolutePath();
    else
        recordFailed();
    updateRecordAction();
    Q_EMIT recordingChanged();
    return ok;
}

void TrendChart::stopRecording() {
    if (!recorder_.isRecording())
        return;
    recorder_.stop();
    updateRecordAction();
    Q_EMIT recordingChanged();
}

void TrendChart::toggleRecording() {
    if (recorder_.isRecording()) {
        stopRecording();
        return;
    }
    const QString suggested = QDir(recordFolder_).filePath(
        DefaultRecordFileName(recordType_, recordNumber_, QDateTime::currentDateTime()));
    const QString path = askFile_ ? askFile_(this, suggested) : QString();
    if (path.isEmpty())
        return;
    startRecording(path);
}

void TrendChart::recordFailed() {
    recordFailed_ = true;
    updateRecordAction();
    Q_EMIT recordingChanged();
    if (reportError_)
        reportError_(RecordErrorText(recorder_.error()));
}

void TrendChart::updateRecordAction() {
    const bool on = recorder_.isRecording();
    recordAction_->setText(on ? u"Остановить запись"_s : u"Запись в файл…"_s);
    recordAction_->setToolTip(on ? u"Остановить запись опросов в файл"_s : u"Записывать каждый опрос в файл CSV"_s);
    recordAction_->setEnabled(on || !series_.isEmpty());
}

} // namespace trend
