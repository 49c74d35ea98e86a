#include "TrendPanel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace trend {

TrendPanel::TrendPanel(QWidget* parent)
    : QWidget(parent), chart_(new TrendChart(this)), window_(new QComboBox(this)), pause_(new QToolButton(this)),
      recordButton_(new QToolButton(this)), record_(new QLabel(this)), stats_(new QLabel(this)) {
    setObjectName(u"TrendPanel"_s);

    auto* windowCaption = new QLabel(u"Интервал:"_s, this);
    windowCaption->setObjectName(u"LabelTrendWindow"_s);
    window_->setObjectName(u"ComboBoxTrendWindow"_s);
    for (TrendWindow w : {TrendWindow::Minute, TrendWindow::TenMinutes, TrendWindow::Hour, TrendWindow::All})
        window_->addItem(TrendChart::windowText(w), int(w));
    window_->setCurrentIndex(window_->findData(int(chart_->timeWindow())));
    windowCaption->setBuddy(window_);
    connect(window_, &QComboBox::currentIndexChanged, this,
            [this](int i) { chart_->setTimeWindow(TrendWindow(window_->itemData(i).toInt())); });

    pause_->setObjectName(u"ToolButtonTrendPause"_s);
    pause_->setDefaultAction(chart_->pauseAction());
    pause_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    recordButton_->setObjectName(u"ToolButtonRecordCsv"_s);
    recordButton_->setDefaultAction(chart_->recordAction());
    recordButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    record_->setObjectName(u"LabelRecordFile"_s);
    record_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    stats_->setObjectName(u"LabelTrendStats"_s);
    stats_->setTextFormat(Qt::RichText);
    stats_->setContentsMargins(8, 2, 8, 4);
    stats_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* top = new QHBoxLayout;
    top->addWidget(windowCaption);
    top->addWidget(window_);
    top->addWidget(pause_);
    top->addSpacing(12);
    top->addWidget(recordButton_);
    top->addWidget(record_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(chart_, 1);
    layout->addWidget(stats_);

    connect(chart_, &TrendChart::recordingChanged, this, &TrendPanel::updateRecordLabel);
    connect(chart_, &TrendChart::viewChanged, this, &TrendPanel::updateStats);
    updateRecordLabel();
}

void TrendPanel::updateRecordLabel() {
    record_->setText(chart_->recordStatusText());
    record_->setToolTip(chart_->recordPath());
}

void TrendPanel::updateStats() {
    QStringList rows;
    for (int s = 0; s < chart_->series().size(); ++s) {
        const QString line = chart_->statsLine(s);
        if (!line.isEmpty())
            rows << u"<span style=\"color:%1\">&#9632;</span>&nbsp;%2"_s.arg(TrendChart::seriesColour(s).name(),
                                                                            line.toHtmlEscaped());
    }
    stats_->setText(rows.join(u"<br>"_s));
}

} // namespace trend
