// Repaint cost of a 10-cell seven-segment TLcdIndicator at 172 x 36 showing "-123.45" against a QLCDNumber
// of the same size showing the same digits, and the cost of a text change (rebuild plus repaint).
// Both widgets are rendered into an image through QWidget::render; figures are medians of batches.
#include "LcdIndicator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLCDNumber>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Batches = 41;
constexpr int PerBatch = 300;

// Median cost of one call, in microseconds.
double medianMicros(const std::function<void(int)>& step) {
    for (int i = 0; i < PerBatch; ++i) // warm-up
        step(i);
    std::vector<double> perCall;
    perCall.reserve(Batches);
    QElapsedTimer timer;
    for (int b = 0; b < Batches; ++b) {
        timer.start();
        for (int i = 0; i < PerBatch; ++i)
            step(i);
        perCall.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0 / PerBatch);
    }
    std::nth_element(perCall.begin(), perCall.begin() + Batches / 2, perCall.end());
    return perCall[Batches / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QString text = QStringLiteral("-123.45");
    const QString other = QStringLiteral("-123.46");
    QImage target(172, 36, QImage::Format_RGB32);

    TLcdIndicator ind;
    ind.setIndicatorstring(text);
    QLCDNumber filled;
    filled.setDigitCount(10);
    filled.setSegmentStyle(QLCDNumber::Filled);
    filled.resize(172, 36);
    filled.display(text);
    QLCDNumber outline;
    outline.setDigitCount(10);
    outline.resize(172, 36);
    outline.display(text);

    const double indRepaint = medianMicros([&](int) { ind.render(&target); });
    const double filledRepaint = medianMicros([&](int) { filled.render(&target); });
    const double outlineRepaint = medianMicros([&](int) { outline.render(&target); });
    const double indChange = medianMicros([&](int i) {
        ind.setIndicatorstring((i & 1) ? other : text);
        ind.render(&target);
    });
    const double filledChange = medianMicros([&](int i) {
        filled.display((i & 1) ? other : text);
        filled.render(&target);
    });

    TLcdIndicator slanted;
    slanted.setIndicatorAngle(150);
    slanted.setIndicatorstring(text);
    QImage slantedTarget(slanted.size(), QImage::Format_RGB32);
    const double slantedRepaint = medianMicros([&](int) { slanted.render(&slantedTarget); });
    const double slantedChange = medianMicros([&](int i) {
        slanted.setIndicatorstring((i & 1) ? other : text);
        slanted.render(&slantedTarget);
    });

    std::printf("TLcdIndicator vs QLCDNumber, 172 x 36, 10 cells, \"-123.45\" (median of %d x %d renders)\n",
                Batches, PerBatch);
    std::printf("  repaint  TLcdIndicator            %8.1f us\n", indRepaint);
    std::printf("  repaint  QLCDNumber (Filled)      %8.1f us\n", filledRepaint);
    std::printf("  repaint  QLCDNumber (Outline)     %8.1f us\n", outlineRepaint);
    std::printf("  ratio    TLcdIndicator / QLCDNumber Filled  %.3f  (aim: <= 1)\n",
                indRepaint / filledRepaint);
    std::printf("  ratio    TLcdIndicator / QLCDNumber Outline %.3f\n", indRepaint / outlineRepaint);
    std::printf("  text change + repaint  TLcdIndicator        %8.1f us\n", indChange);
    std::printf("  text change + repaint  QLCDNumber (Filled)  %8.1f us\n", filledChange);
    std::printf("  slanted 15 deg: repaint %.1f us, text change + repaint %.1f us\n", slantedRepaint,
                slantedChange);
    return indRepaint <= filledRepaint ? 0 : 1;
}
