// The trend plot with its controls, as a diagnostics page places it: the window choice, pause and
// recording above the chart, the file being written beside them, the statistics of the shown curves below.
#pragma once

#include "TrendChart.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QToolButton;

namespace trend {

class TrendPanel : public QWidget {
    Q_OBJECT
public:
    explicit TrendPanel(QWidget* parent = nullptr);

    TrendChart* chart() const { return chart_; }
    QComboBox* windowBox() const { return window_; }   // ComboBoxTrendWindow
    QLabel* recordLabel() const { return record_; }     // LabelRecordFile
    QLabel* statsLabel() const { return stats_; }       // LabelTrendStats

private:
    void updateRecordLabel();
    void updateStats();

    TrendChart* chart_;
    QComboBox* window_;
    QToolButton* pause_;
    QToolButton* recordButton_;
    QLabel* record_;
    QLabel* stats_;
};

} // namespace trend
