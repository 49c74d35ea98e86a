// The trend panel as shown: controls and texts, windows and pause, a failed poll as a break in the picture,
// switching curves, statistics and the value under the mouse, recording through the scripted file dialog
// and message hook, failed writes, throttled and hidden redraws.
#include "TrendPanel.h"

#include <QAction>
#include <QChart>
#include <QComboBox>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QValueAxis>

#ifdef Q_OS_UNIX
#include "FileSizeLimit.h"
#endif

using namespace trend;
using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime kStart(QDate(2025, 3, 12), QTime(9, 40, 0));

const QList<TrendSeries> kNewer{{u"T"_s, u"°C"_s, 2}, {u"R"_s, u"Ом"_s, 3}, {u"R линии"_s, u"Ом"_s, 3},
                                    {u"Т корпуса"_s, u"°C"_s, 2}};

struct Fixture {
    Fixture() {
        panel.resize(1280, 800);
        chart()->setSeries(kNewer);
        chart()->setErrorReporter([this](const QString& text) { errors << text; });
        chart()->setFileAsker([this](QWidget*, const QString& suggested) {
            suggestions << suggested;
            return answer;
        });
    }
    TrendChart* chart() const { return panel.chart(); }
    QAction* pause() const { return panel.findChild<QAction*>(u"ActionTrendPause"_s); }
    QAction* record() const { return panel.findChild<QAction*>(u"ActionRecordCsv"_s); }
    QLabel* recordLabel() const { return panel.findChild<QLabel*>(u"LabelRecordFile"_s); }
    QComboBox* windowBox() const { return panel.findChild<QComboBox*>(u"ComboBoxTrendWindow"_s); }
    void show() {
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        chart()->redrawNow();
    }
    // a plot-area point of the chart in view coordinates
    QPointF viewPoint(double fx, double fy) const {
        const QRectF a = chart()->chart()->plotArea();
        return chart()->mapFromScene(
            chart()->chart()->mapToScene(QPointF(a.left() + a.width() * fx, a.top() + a.height() * fy)));
    }

    TrendPanel panel;
    QStringList errors, suggestions;
    QString answer;
};

// Polls every second: T rises 0.1 a poll from 20, R = 100 + T, no line resistance, body 25.
void polls(TrendChart* c, int from, int to, const QList<int>& failed = {}) {
    for (int i = from; i < to; ++i) {
        const QDateTime at = kStart.addSecs(i);
        if (failed.contains(i))
            c->addPoll(at, {}, u"Преобразователь не отвечает на запрос"_s);
        else
            c->addPoll(at, {20 + 0.1 * i, 120 + 0.1 * i, std::nullopt, 25.0});
    }
}

} // namespace

class TstTrendChart : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void controlsAsShown();
    void windowsAndPause_data();
    void windowsAndPause();
    void failedPollIsABreakInThePicture();
    void seriesSwitchable();
    void statsAndValueUnderMouse();
    void recordingThroughTheDialog();
    void theProgramsFileDialog();
    void refusedFileIsReported();
    void writeFailingMidRunStopsOnlyTheRecording();
    void redrawsThrottledAndNotWhileHidden();
};

void TstTrendChart::controlsAsShown() {
    Fixture f;
    f.show();
    QComboBox* box = f.windowBox();
    QVERIFY(box && box->isVisible());
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    QCOMPARE(items, (QStringList{u"1 мин"_s, u"10 мин"_s, u"1 ч"_s, u"Всё"_s}));
    QCOMPARE(box->currentText(), u"10 мин"_s);
    QVERIFY(f.pause() && f.pause()->isCheckable() && !f.pause()->isChecked());
    QCOMPARE(f.pause()->text(), u"Пауза"_s);
    QCOMPARE(f.record()->text(), u"Запись в файл…"_s);
    QVERIFY(f.record()->isEnabled());
    QVERIFY(f.recordLabel() && f.recordLabel()->text().isEmpty());
    QVERIFY(f.panel.findChild<QLabel*>(u"LabelTrendStats"_s));
    QCOMPARE(f.chart()->objectName(), u"TrendChart"_s);
    // one axis per unit, titled with it; the legend names each value with its unit
    QStringList titles;
    for (QAbstractAxis* a : f.chart()->chart()->axes(Qt::Vertical))
        titles << a->titleText();
    QCOMPARE(titles, (QStringList{u"°C"_s, u"Ом"_s}));
    QStringList legend;
    for (QLegendMarker* m : f.chart()->chart()->legend()->markers())
        legend << m->label();
    QCOMPARE(legend, (QStringList{u"T, °C"_s, u"R, Ом"_s, u"R линии, Ом"_s, u"Т корпуса, °C"_s}));
}

void TstTrendChart::windowsAndPause_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<qint64>("length"); // 0: from the first poll
    QTest::newRow("1 мин") << 0 << qint64(60'000);
    QTest::newRow("10 мин") << 1 << qint64(600'000);
    QTest::newRow("1 ч") << 2 << qint64(3'600'000);
    QTest::newRow("Всё") << 3 << qint64(0);
}

void TstTrendChart::windowsAndPause() {
    QFETCH(int, index);
    QFETCH(qint64, length);
    Fixture f;
    f.show();
    polls(f.chart(), 0, 7200);
    f.windowBox()->setCurrentIndex(index);
    f.chart()->redrawNow();
    const qint64 last = kStart.addSecs(7199).toMSecsSinceEpoch();
    QCOMPARE(f.chart()->visibleTo(), last);
    QCOMPARE(f.chart()->visibleFrom(), length > 0 ? last - length : kStart.toMSecsSinceEpoch());

    // paused: polling goes on, the window stays
    f.pause()->trigger();
    QVERIFY(f.chart()->isPaused());
    polls(f.chart(), 7200, 7260);
    f.chart()->redrawNow();
    QCOMPARE(f.chart()->visibleTo(), last);
    QCOMPARE(f.chart()->store().pollCount(), qint64(7260));
    f.pause()->trigger();
    f.chart()->redrawNow();
    QCOMPARE(f.chart()->visibleTo(), kStart.addSecs(7259).toMSecsSinceEpoch());
}

void TstTrendChart::failedPollIsABreakInThePicture() {
    Fixture f;
    f.chart()->setSeries({{u"T"_s, u"°C"_s, 2}});
    f.show();
    f.windowBox()->setCurrentIndex(0); // 1 мин
    // a flat line at 50 °C with polls 25..34 failed, then one lone poll at 40 between failures
    for (int i = 0; i <= 60; ++i) {
        const QDateTime at = kStart.addSecs(i);
        if ((i >= 25 && i < 35) || i == 39 || i == 41)
            f.chart()->addPoll(at, {}, u"нет ответа"_s);
        else
            f.chart()->addPoll(at, {50.0});
    }
    f.chart()->redrawNow();
    const QImage img = f.chart()->grab().toImage();
    const QRectF area = f.chart()->chart()->plotArea();
    const auto* axis = qobject_cast<QValueAxis*>(f.chart()->chart()->axes(Qt::Vertical).value(0));
    QVERIFY(axis);
    const int y = int(std::lround(area.bottom() - (50.0 - axis->min()) / (axis->max() - axis->min()) * area.height()));
    auto xOf = [&](double second) { return int(std::lround(area.left() + area.width() * second / 60.0)); };
    const QColor red = TrendChart::seriesColour(0);
    auto curveAt = [&](int x) {
        for (int dy = -2; dy <= 2; ++dy) {
            const QColor c = img.pixelColor(x, y + dy);
            if (std::abs(c.red() - red.red()) < 40 && std::abs(c.green() - red.green()) < 40 &&
                std::abs(c.blue() - red.blue()) < 40)
                return true;
        }
        return false;
    };
    QVERIFY(curveAt(xOf(10)));
    QVERIFY(curveAt(xOf(20)));
    for (double s : {25.5, 28.0, 30.0, 33.5}) // never a repeated old value across the failed polls
        QVERIFY2(!curveAt(xOf(s)), qPrintable(QString::number(s)));
    QVERIFY(curveAt(xOf(37)));
    QVERIFY(curveAt(xOf(40)));   // the lone poll is a dot
    QVERIFY(!curveAt(xOf(39.5)));
    QVERIFY(!curveAt(xOf(40.6)));
    QVERIFY(curveAt(xOf(50)));
}

void TstTrendChart::seriesSwitchable() {
    Fixture f;
    f.show();
    polls(f.chart(), 0, 120);
    f.chart()->redrawNow();
    QVERIFY(f.chart()->statsText().contains(u"R: "_s));
    // a click on the legend marker of R hides it
    QLegendMarker* marker = f.chart()->chart()->legend()->markers().value(1);
    QVERIFY(marker);
    Q_EMIT marker->clicked();
    QVERIFY(!f.chart()->isSeriesVisible(1));
    QVERIFY(marker->font().strikeOut());
    QVERIFY(!f.chart()->statsText().contains(u"R: "_s));
    f.chart()->hoverAt(f.viewPoint(0.5, 0.5));
    QVERIFY(!f.chart()->hoverText().contains(u"R: "_s));
    // with R hidden the ohm axis spans the line resistance alone: no values, so it keeps no curve's range
    QVERIFY(f.chart()->statsText().contains(u"R линии: нет данных"_s));
    Q_EMIT marker->clicked();
    QVERIFY(f.chart()->isSeriesVisible(1));
    QVERIFY(f.chart()->statsText().contains(u"R: "_s));
    // hiding both ohm curves hides their axis
    f.chart()->setSeriesVisible(1, false);
    f.chart()->setSeriesVisible(2, false);
    QVERIFY(!f.chart()->chart()->axes(Qt::Vertical).value(1)->isVisible());
}

void TstTrendChart::statsAndValueUnderMouse() {
    Fixture f;
    f.show();
    f.windowBox()->setCurrentIndex(0);
    polls(f.chart(), 0, 61, {30});
    f.chart()->redrawNow();
    // over the visible minute 0..60 s, poll 30 failed
    QCOMPARE(f.chart()->statsLine(0), u"T: мин 20.00, макс 26.00, среднее 23.00 °C"_s);
    QCOMPARE(f.chart()->statsLine(3), u"Т корпуса: мин 25.00, макс 25.00, среднее 25.00 °C"_s);
    const QString label = f.panel.findChild<QLabel*>(u"LabelTrendStats"_s)->text();
    QCOMPARE(label.count(u"мин"_s), 3);
    QVERIFY(label.contains(u"R линии: нет данных"_s));

    f.chart()->hoverAt(f.viewPoint(10.2 / 60.0, 0.5));
    QCOMPARE(f.chart()->hoverText(), u"09:40:10\nT: 21.00 °C\nR: 121.000 Ом\nR линии: нет данных\nТ корпуса: 25.00 °C"_s);
    f.chart()->hoverAt(f.viewPoint(30.1 / 60.0, 0.5)); // the failed poll: no value, not the one before
    QCOMPARE(f.chart()->hoverText(),
             u"09:40:30\nT: нет данных\nR: нет данных\nR линии: нет данных\nТ корпуса: нет данных"_s);
    f.chart()->hoverAt(QPointF(2, 2)); // outside the plot
    QVERIFY(f.chart()->hoverText().isEmpty());
}

void TstTrendChart::recordingThroughTheDialog() {
    Fixture f;
    f.show();
    QTemporaryDir dir;
    f.chart()->setRecordFolder(dir.path());
    f.chart()->setRecordingContext(u"ТС-ТП 118"_s, u"12/34"_s);

    f.answer.clear(); // the dialog cancelled: nothing starts
    f.record()->trigger();
    QCOMPARE(f.suggestions.size(), 1);
    QVERIFY(!f.chart()->isRecording());
    QVERIFY(f.suggestions[0].startsWith(dir.path() + u"/ТС-ТП 118_12_34_"_s));
    QVERIFY(f.suggestions[0].endsWith(u".csv"_s));

    f.answer = dir.filePath(u"run.csv"_s);
    f.record()->trigger();
    QVERIFY(f.chart()->isRecording());
    QCOMPARE(f.record()->text(), u"Остановить запись"_s);
    polls(f.chart(), 0, 3, {1});
    QCOMPARE(f.recordLabel()->text(), u"Запись: run.csv, строк: 3"_s);
    f.record()->trigger();
    QVERIFY(!f.chart()->isRecording());
    QCOMPARE(f.record()->text(), u"Запись в файл…"_s);
    QCOMPARE(f.recordLabel()->text(), u"Записано: run.csv, строк: 3"_s);
    polls(f.chart(), 3, 5); // no longer recorded
    QVERIFY(f.errors.isEmpty());

    QFile file(f.answer);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u"\r\n"_s, Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], u"Время,Секунды,T (°C),R (Ом),R линии (Ом),Т корпуса (°C),Результат"_s);
    QCOMPARE(lines[1].section(u',', 1), u"0.000,20.00,120.000,,25.00,ok"_s);
    QCOMPARE(lines[2].section(u',', 1), u"1.000,,,,,Преобразователь не отвечает на запрос"_s);
    QCOMPARE(lines[3].section(u',', 1), u"2.000,20.20,120.200,,25.00,ok"_s);
    // the next suggestion is in the folder last written to
    f.answer.clear();
    f.record()->trigger();
    QVERIFY(f.suggestions.last().startsWith(dir.path() + u"/"_s));
}

// The dialog a program gets unless it passes its own: the suggested name, and ".csv" added to a bare name.
void TstTrendChart::theProgramsFileDialog() {
    TrendPanel panel;
    panel.chart()->setSeries(kNewer);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QTemporaryDir dir;
    panel.chart()->setRecordFolder(dir.path());
    panel.chart()->setRecordingContext(u"ТС 77"_s, u"4417"_s);
    QString suggested, suffix;
    QTimer::singleShot(0, &panel, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != u"FileDialogRecordCsv"_s)
            return;
        suggested = dialog->selectedFiles().value(0);
        suffix = dialog->defaultSuffix();
        dialog->selectFile(dir.filePath(u"warm-up"_s));
        static_cast<QDialog*>(dialog)->accept(); // public in QDialog, the file dialog's own runs
    });
    panel.findChild<QAction*>(u"ActionRecordCsv"_s)->trigger();
    QVERIFY2(suggested.startsWith(dir.path() + u"/ТС 77_4417_"_s), qPrintable(suggested));
    QCOMPARE(suffix, u"csv"_s);
    QVERIFY(panel.chart()->isRecording());
    QCOMPARE(panel.chart()->recordPath(), dir.filePath(u"warm-up.csv"_s));
    panel.chart()->stopRecording();
}

void TstTrendChart::refusedFileIsReported() {
    Fixture f;
    f.show();
    f.answer = u"/nonexistent-folder/run.csv"_s;
    f.record()->trigger();
    QVERIFY(!f.chart()->isRecording());
    QCOMPARE(f.errors.size(), 1);
    QVERIFY(f.errors[0].startsWith(u"Не удалось создать файл записи «/nonexistent-folder/run.csv»."_s));
    QCOMPARE(f.record()->text(), u"Запись в файл…"_s);
#ifdef Q_OS_LINUX
    f.answer = u"/dev/full"_s;
    f.record()->trigger();
    QCOMPARE(f.errors.size(), 2);
    QVERIFY(f.errors[1].contains(u"на диске нет места"_s));
    QVERIFY(!f.chart()->isRecording());
#endif
    polls(f.chart(), 0, 2);
    QCOMPARE(f.chart()->store().pollCount(), qint64(2));
}

void TstTrendChart::writeFailingMidRunStopsOnlyTheRecording() {
#ifndef Q_OS_UNIX
    QSKIP("needs a file size limit");
#else
    Fixture f;
    f.show();
    QTemporaryDir dir;
    f.answer = dir.filePath(u"stick.csv"_s);
    f.record()->trigger();
    polls(f.chart(), 0, 2);
    {
        FileSizeLimit limit(QFileInfo(f.answer).size()); // the stick refuses more
        QVERIFY(limit.ok());
        polls(f.chart(), 2, 3);
    }

    QCOMPARE(f.errors.size(), 1);
    QVERIFY(f.errors[0].startsWith(u"Запись в файл «stick.csv» остановлена"_s));
    QVERIFY(f.errors[0].endsWith(u"Измерения продолжаются."_s));
    QVERIFY(!f.chart()->isRecording());
    QCOMPARE(f.record()->text(), u"Запись в файл…"_s);
    QCOMPARE(f.recordLabel()->text(), u"Запись прервана: stick.csv, строк: 2"_s);
    polls(f.chart(), 3, 5); // the measurement goes on, nothing more is reported
    QCOMPARE(f.chart()->store().pollCount(), qint64(5));
    QCOMPARE(f.errors.size(), 1);
#endif
}

void TstTrendChart::redrawsThrottledAndNotWhileHidden() {
    Fixture f;
    polls(f.chart(), 0, 50); // never shown: nothing drawn
    QTest::qWait(300);
    QCOMPARE(f.chart()->redrawCount(), 0);
    f.panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.panel));
    QTRY_VERIFY(f.chart()->redrawCount() >= 1);
    QTest::qWait(300);
    const int shown = f.chart()->redrawCount();
    for (int i = 50; i < 70; ++i) { // a burst of polls: one redraw after the quiet time
        polls(f.chart(), i, i + 1);
        QTest::qWait(5);
    }
    QTRY_VERIFY(f.chart()->redrawCount() > shown);
    QTest::qWait(700); // the window of 10 min moves a pixel in about half a second
    QVERIFY2(f.chart()->redrawCount() - shown <= 2, qPrintable(QString::number(f.chart()->redrawCount() - shown)));
    QCOMPARE(f.chart()->visibleTo(), kStart.addSecs(69).toMSecsSinceEpoch());
    f.panel.hide();
    const int hidden = f.chart()->redrawCount();
    polls(f.chart(), 70, 80);
    QTest::qWait(700);
    QCOMPARE(f.chart()->redrawCount(), hidden);
    f.panel.show(); // catches up
    QTRY_COMPARE(f.chart()->visibleTo(), kStart.addSecs(79).toMSecsSinceEpoch());
}

QTEST_MAIN(TstTrendChart)
#include "tst_trendchart.moc"
