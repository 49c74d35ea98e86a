// The trend plot of a diagnostics page: every polled value against time, one curve each, an axis per unit,
// a time window, pause, the values under the mouse, minimum/maximum/mean of what is shown, and the
// recording of the polls to a CSV file. Axes, grid and legend are Qt Charts'; the curves are drawn by
// an item of our own over the plot area, since a QLineSeries cannot break at a failed poll.
#pragma once

#include "CsvRecorder.h"
#include "TrendStore.h"

#include <QChartView>
#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QChart;
class QCategoryAxis;
class QGraphicsLineItem;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QLineSeries;
class QTimer;
class QValueAxis;

namespace trend {

class TrendCurvesItem;

// One value of the page: "T" in "°C" shown with 2 decimals.
struct TrendSeries {
    QString name;
    QString unit;
    int decimals = 2;
};

enum class TrendWindow { Minute, TenMinutes, Hour, All };

class TrendChart : public QChartView {
    Q_OBJECT
public:
    explicit TrendChart(QWidget* parent = nullptr);
    ~TrendChart() override;

    // The values the page polls, in the order addPoll passes them. Clears the plot; stops a recording.
    void setSeries(const QList<TrendSeries>& series);
    QList<TrendSeries> series() const { return series_; }

    // One poll: a value per series (a missing one is a gap), `failure` empty for an answered poll or the
    // text of what failed (then every value is a gap). Recorded when a recording runs.
    void addPoll(const QDateTime& time, const QList<std::optional<double>>& values, const QString& failure = {});
    // The measurements stopped: the curves do not join across the pause. Not recorded.
    void addBreak(const QDateTime& time);
    void clearData();

    // What the suggested file name of a recording is made of.
    void setRecordingContext(const QString& type, const QString& sensorNumber);

    void setTimeWindow(TrendWindow window);
    TrendWindow timeWindow() const { return window_; }
    void setPaused(bool paused); // the window stops moving; polls are still kept and recorded
    bool isPaused() const { return paused_; }
    void setSeriesVisible(int series, bool visible);
    bool isSeriesVisible(int series) const;

    // Recording. The file dialog and the message box are the program's: tests script them.
    using FileAsker = std::function<QString(QWidget* parent, const QString& suggestedPath)>;
    using ErrorReporter = std::function<void(const QString& text)>;
    void setFileAsker(FileAsker asker) { askFile_ = std::move(asker); }
    void setErrorReporter(ErrorReporter reporter) { reportError_ = std::move(reporter); }
    void setRecordFolder(const QString& folder) { recordFolder_ = folder; }
    bool startRecording(const QString& path); // false: reported through the error reporter
    void stopRecording();
    bool isRecording() const { return recorder_.isRecording(); }
    QString recordPath() const { return recorder_.path(); }
    qint64 recordedRows() const { return recorder_.rows(); }
    QString recordStatusText() const; // what LabelRecordFile shows

    QAction* pauseAction() const { return pauseAction_; }   // ActionTrendPause
    QAction* recordAction() const { return recordAction_; } // ActionRecordCsv

    // What is shown, for the panel's labels and for checks.
    qint64 visibleFrom() const { return from_; }
    qint64 visibleTo() const { return to_; }
    TrendStats visibleStats(int series) const;
    QString statsLine(int series) const; // "T: мин 21.25, макс 85.05, среднее 72.37 °C"; empty when hidden
    QString statsText() const;           // the lines of the shown series
    static QColor seriesColour(int series);
    QString hoverText() const; // empty while the mouse is not over the plot
    void hoverAt(const QPointF& viewPos); // as a mouse move there
    int redrawCount() const { return redraws_; }
    const TrendStore& store() const { return *store_; }
    static QString windowText(TrendWindow window); // "1 мин", "10 мин", "1 ч", "Всё"

    void redrawNow(); // rebuild the curves and axes at once (the timer does it otherwise)

Q_SIGNALS:
    void viewChanged();      // the curves, the window or the statistics changed
    void recordingChanged(); // started, a row written, stopped or failed

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void scheduleRedraw();
    void redraw();
    void rebuildPaths();
    void updateHover();
    void hideHover();
    void toggleRecording();
    void recordFailed();
    void updateRecordAction();
    void updateMarker(int series);
    QString formatValue(int series, double v) const;
    qint64 windowLength() const;
    void updateTimeAxis();

    QChart* chart_;
    QCategoryAxis* axisX_;          // times at round local values
    QList<QValueAxis*> axesY_;      // one per unit
    QList<int> axisOf_;             // series -> index into axesY_
    QList<QLineSeries*> legendOf_;  // per series: its legend marker and colour (no points)
    QList<TrendSeries> series_;
    QList<bool> visible_;
    std::unique_ptr<TrendStore> store_;
    std::vector<std::vector<TrendPoint>> points_; // per series, what is drawn
    TrendCurvesItem* curves_;
    QGraphicsLineItem* hoverLine_;
    QGraphicsRectItem* hoverBox_;
    QGraphicsSimpleTextItem* hoverLabel_;
    std::optional<QPointF> hoverPos_;

    TrendWindow window_ = TrendWindow::TenMinutes;
    bool paused_ = false;
    qint64 pausedAt_ = 0;
    qint64 from_ = 0, to_ = 0;
    QList<qint64> ticks_; // of the time axis now
    QString tickFormat_;
    QTimer* redrawTimer_;
    bool dirty_ = false;
    int redraws_ = 0;

    CsvRecorder recorder_;
    QString recordType_, recordNumber_, recordFolder_;
    bool recordFailed_ = false;
    FileAsker askFile_;
    ErrorReporter reportError_;
    QAction* pauseAction_;
    QAction* recordAction_;
};

} // namespace trend
