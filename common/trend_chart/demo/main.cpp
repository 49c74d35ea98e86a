// The trend panel with a realistic warm-up run: a sensor taken from the room into an 85 °C bath, a few
// unanswered polls on the way, a pause of the measurements and a recording running.
//   trend_demo [--older] [--grab picture.png]
// Without --older the values of Tarvo_TS_TP (T, R, R линии, Т корпуса every 2 s, 40 minutes), with it
// those of Tarvo_TS (T and R every second, 10 minutes, a self-diagnostics fault in the middle).
// --grab saves the panel at 1280 × 800 to a file and quits.
#include "TrendPanel.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cmath>
#include <cstdio>
#include <random>

using namespace Qt::Literals::StringLiterals;
using trend::TrendPanel;

namespace {

// Pt100 with the IEC 60751 coefficients above 0 °C.
double pt100(double t) { return 100.0 * (1.0 + 3.9083e-3 * t - 5.775e-7 * t * t); }

void newerRun(TrendPanel& panel, const QDateTime& start) {
    auto* chart = panel.chart();
    chart->setSeries({{u"T"_s, u"°C"_s, 2}, {u"R"_s, u"Ом"_s, 3}, {u"R линии"_s, u"Ом"_s, 3}, {u"Т корпуса"_s, u"°C"_s, 2}});
    chart->setRecordingContext(u"ТС-ТП 118"_s, u"12345"_s);
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0.0, 1.0);
    const int polls = 40 * 30;
    for (int i = 0; i < polls; ++i) {
        const double min = i / 30.0;
        const QDateTime at = start.addMSecs(qint64(i) * 2000);
        if (i == 240) {
            chart->startRecording(QDir::temp().filePath(u"ТС-ТП 118_12345_demo.csv"_s));
        }
        if (i >= 450 && i < 456) { // six polls unanswered: a loose contact
            chart->addPoll(at, {}, u"Преобразователь не отвечает на запрос"_s);
            continue;
        }
        if (i >= 780 && i < 840) { // measurements stopped for two minutes
            if (i == 780)
                chart->addBreak(at);
            continue;
        }
        const double t = min < 3 ? 21.3 + 0.02 * noise(rng) : 85.0 - (85.0 - 21.3) * std::exp(-(min - 3) / 4.5) + 0.03 * noise(rng);
        const double body = 23.8 + 6.5 * (1 - std::exp(-min / 15.0)) + 0.02 * noise(rng);
        const double rline = 1.25 + 0.002 * (body - 24) + 0.001 * noise(rng);
        chart->addPoll(at, {t, pt100(t), rline, body});
    }
}

void olderRun(TrendPanel& panel, const QDateTime& start) {
    auto* chart = panel.chart();
    chart->setSeries({{u"T"_s, u"°C"_s, 1}, {u"R"_s, u"Ом"_s, 2}});
    chart->setRecordingContext(u"ТС 77"_s, u"4417"_s);
    std::mt19937 rng(9);
    std::normal_distribution<double> noise(0.0, 1.0);
    for (int i = 0; i < 600; ++i) {
        const double min = i / 60.0;
        const QDateTime at = start.addSecs(i);
        if (i == 60)
            chart->startRecording(QDir::temp().filePath(u"ТС 77_4417_demo.csv"_s));
        if (i >= 300 && i < 320) { // code 3: sensor broken or out of range, no values
            chart->addPoll(at, {std::nullopt, std::nullopt});
            continue;
        }
        const double t = 0.2 + 99.6 * (1 - std::exp(-min / 1.8)) + 0.05 * noise(rng);
        chart->addPoll(at, {std::round(t * 10) / 10, std::round(pt100(t) * 100) / 100});
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool older = args.contains(u"--older"_s);

    TrendPanel panel;
    panel.setWindowTitle(older ? u"Tarvo_TS: тренд"_s : u"Tarvo_TS_TP: тренд"_s);
    panel.resize(1280, 800);
    const QDateTime start(QDate(2025, 3, 12), QTime(9, 40, 0));
    if (older)
        olderRun(panel, start);
    else
        newerRun(panel, start);
    panel.windowBox()->setCurrentIndex(older ? 1 : 3); // "10 мин" / "Всё"
    panel.show();
    panel.chart()->redrawNow();
    app.processEvents();
    // the mouse over the curve, as a user would look
    const QRectF area = panel.chart()->chart()->plotArea();
    panel.chart()->hoverAt(panel.chart()->mapFromScene(panel.chart()->chart()->mapToScene(
        QPointF(area.left() + area.width() * (older ? 0.3 : 0.42), area.center().y()))));

    const qsizetype grabAt = args.indexOf(u"--grab"_s);
    if (grabAt > 0 && grabAt + 1 < args.size()) {
        app.processEvents();
        const bool ok = panel.grab().save(args.at(grabAt + 1));
        std::printf("%s %s\n", ok ? "saved" : "could not save", qPrintable(args.at(grabAt + 1)));
        return ok ? 0 : 1;
    }
    return app.exec();
}
