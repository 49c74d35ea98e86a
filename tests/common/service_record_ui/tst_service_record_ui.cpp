// The check dialog, the journal window and the certificate preview as the user sees them.
#include "CertificatePreview.h"
#include "CheckPointsDialog.h"
#include "ServiceActions.h"
#include "ServiceLogWindow.h"
#include "ServiceRecord.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

using namespace servicerecord;

namespace {

struct TScriptedHooks : TServiceUiHooks {
    QStringList messages;
    QList<Kind> kinds;
    QString pdfPath; // what the file dialog answers
    void ShowMessage(const QString& text, Kind kind) override {
        messages.append(text);
        kinds.append(kind);
    }
    QString SavePdfFileName(QWidget*, const QString&) override { return pdfPath; }
};

// A transducer poll answered when the test says so.
struct TPoll {
    int polls = 0;
    std::function<void(const TReading&)> pending;
    TReadTemperature reader() {
        return [this](std::function<void(const TReading&)> done) {
            ++polls;
            pending = std::move(done);
        };
    }
    void answer(const TReading& r) {
        auto done = std::move(pending);
        pending = nullptr;
        done(r);
    }
};

TSubject Subject() {
    TSubject s;
    s.transducer = {gnNewer, 118, QStringLiteral("Tarvo-ТС-ТП"), QStringLiteral("Pt100 котёл"), 1234, {}};
    s.link = {QStringLiteral("/tmp/tarvo-sim/bus0"), 19200, 1};
    return s;
}

void Enter(QTableWidget* t, int row, const QString& reference, const QString& tolerance) {
    t->item(row, CheckPointsDialog::colReference)->setText(reference);
    t->item(row, CheckPointsDialog::colTolerance)->setText(tolerance);
}

QString Cell(QTableWidget* t, int row, int col) {
    return t->item(row, col)->text();
}

void Save(QWidget* w, const QString& name) {
    if (qEnvironmentVariableIsSet("TARVO_SHOTS"))
        w->grab().save(qEnvironmentVariable("TARVO_SHOTS") + QLatin1Char('/') + name);
}

} // namespace

class TestServiceRecordUi : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private Q_SLOTS:
    void actions() {
        QObject owner;
        QCOMPARE(MakeAsFoundAction(&owner)->objectName(), QStringLiteral("ActionAsFound"));
        QCOMPARE(MakeAsFoundAction(&owner)->text(), QStringLiteral("Проверка до настройки"));
        QCOMPARE(MakeAsLeftAction(&owner)->text(), QStringLiteral("Проверка после настройки"));
        QCOMPARE(MakeServiceLogAction(&owner)->objectName(), QStringLiteral("ActionServiceLog"));
        QCOMPARE(MakeServiceLogAction(&owner)->text(), QStringLiteral("Журнал обслуживания"));
    }

    // One poll per press, none while a reading is awaited; difference and verdict follow the entries.
    void checkPoints() {
        TScriptedHooks hooks;
        TPoll poll;
        CheckPointsDialog d(ekAsLeft, QStringLiteral("118 Tarvo-ТС-ТП, датчик Pt100 № 1234"), poll.reader(), hooks);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QCOMPARE(d.windowTitle(), QStringLiteral("Проверка после настройки"));
        auto* t = d.findChild<QTableWidget*>(QStringLiteral("TableCheckPoints"));
        QVERIFY(t);
        QCOMPARE(t->rowCount(), 5);
        QStringList headers;
        for (int c = 0; c < CheckPointsDialog::colRead; ++c)
            headers.append(t->horizontalHeaderItem(c)->text());
        QCOMPARE(headers, (QStringList{QStringLiteral("Эталон"), QStringLiteral("Показание"), QStringLiteral("Разность"),
                                       QStringLiteral("Допуск"), QStringLiteral("Годен")}));

        Enter(t, 0, QStringLiteral("25,00"), QStringLiteral("0,5"));
        auto* read1 = d.findChild<QPushButton*>(QStringLiteral("ButtonReadPoint1"));
        auto* read2 = d.findChild<QPushButton*>(QStringLiteral("ButtonReadPoint2"));
        QTest::mouseClick(read1, Qt::LeftButton);
        QVERIFY(d.IsReading());
        QVERIFY(!read2->isEnabled());
        QTest::mouseClick(read1, Qt::LeftButton); // the hurried second press
        QCOMPARE(poll.polls, 1);
        poll.answer({true, 25.3, {}});
        QCOMPARE(Cell(t, 0, CheckPointsDialog::colReading), QStringLiteral("25,30"));
        QCOMPARE(Cell(t, 0, CheckPointsDialog::colDifference), QStringLiteral("0,30"));
        QCOMPARE(Cell(t, 0, CheckPointsDialog::colPassed), QStringLiteral("да"));

        QTest::mouseClick(read2, Qt::LeftButton);
        poll.answer({false, 0, QStringLiteral("Преобразователь не отвечает на запрос")});
        QCOMPARE(hooks.messages.last(),
                 QStringLiteral("Точка 2: показание не получено.\nПреобразователь не отвечает на запрос"));
        QVERIFY(read2->isEnabled());
        QTest::mouseClick(read2, Qt::LeftButton);
        poll.answer({true, 100.45, {}});
        Enter(t, 1, QStringLiteral("100"), QStringLiteral("0.2")); // entered after the reading
        QCOMPARE(Cell(t, 1, CheckPointsDialog::colDifference), QStringLiteral("0,45"));
        QCOMPARE(Cell(t, 1, CheckPointsDialog::colPassed), QStringLiteral("нет"));
        Save(&d, QStringLiteral("check-points.png"));

        QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("ButtonCheckSave")), Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.Check().kind, ekAsLeft);
        QCOMPARE(d.Check().points.size(), 2);
        QCOMPARE(d.Check().points[1].reading, 100.45);
        QVERIFY(!d.Check().Passed());
        QCOMPARE(poll.polls, 3);
    }

    void checkPointsRefused_data() {
        QTest::addColumn<QString>("reference");
        QTest::addColumn<QString>("tolerance");
        QTest::addColumn<bool>("read");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing entered") << "" << "" << false
                                         << "Введите значение эталона и допуск хотя бы в одной точке и измерьте её.";
        QTest::newRow("reference not a number")
            << "25 градусов" << "0,5" << true
            << "Точка 1: значение эталона должно быть числом от -273,15 до 2000 °С, например 25,00.";
        QTest::newRow("below absolute zero")
            << "-300" << "0,5" << true
            << "Точка 1: значение эталона должно быть числом от -273,15 до 2000 °С, например 25,00.";
        QTest::newRow("zero tolerance") << "25" << "0" << true
                                        << "Точка 1: допуск должен быть положительным числом не более 100 °С, например 0,5.";
        QTest::newRow("not measured") << "25" << "0,5" << false
                                      << "Точка 1: нет показания преобразователя. Нажмите кнопку «Измерить».";
    }
    void checkPointsRefused() {
        QFETCH(QString, reference);
        QFETCH(QString, tolerance);
        QFETCH(bool, read);
        QFETCH(QString, message);
        TScriptedHooks hooks;
        TPoll poll;
        CheckPointsDialog d(ekAsFound, QString(), poll.reader(), hooks);
        d.show();
        auto* t = d.findChild<QTableWidget*>(QStringLiteral("TableCheckPoints"));
        Enter(t, 0, reference, tolerance);
        if (read) {
            QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("ButtonReadPoint1")), Qt::LeftButton);
            poll.answer({true, 25.1, {}});
        }
        QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("ButtonCheckSave")), Qt::LeftButton);
        QVERIFY(d.isVisible());
        QCOMPARE(hooks.messages, QStringList{message});
        QCOMPARE(hooks.kinds.last(), TServiceUiHooks::mkError);
    }

    // A reply that comes after the dialog was closed goes nowhere.
    void readingAfterClose() {
        TScriptedHooks hooks;
        TPoll poll;
        {
            CheckPointsDialog d(ekAsFound, QString(), poll.reader(), hooks);
            d.show();
            QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("ButtonReadPoint3")), Qt::LeftButton);
        }
        poll.answer({true, 1, {}});
        QVERIFY(hooks.messages.isEmpty());
    }

    // The journal of the connected transducer newest first, the search, and the certificate of a run
    // saved as PDF with the instruments remembered for the next one.
    void journalAndCertificate() {
        const QString path = dir.filePath(QStringLiteral("j/service-record.sqlite"));
        TServiceRecord record({QStringLiteral("Tarvo_TS_TP"), QStringLiteral("1.0.0.0"), path, 1000, 3000});
        record.SetOperator(QStringLiteral("Петров"));
        record.TransducerSeen(Subject());
        record.ConfigurationWritten(Subject(), {{QStringLiteral("SensorType"), 1}}, {{QStringLiteral("SensorType"), 3}},
                                    true);
        record.CheckTaken(Subject(), {ekAsFound, {{25, 25.7, 0.5}}});
        const TRunId run = record.CalibrationBegun(Subject());
        record.CalibrationStep(run, 1, std::nullopt, {}, ocDone, {}, QStringLiteral("300 Ом"));
        record.CalibrationStep(run, 2, std::nullopt, {}, ocDone, {}, QStringLiteral("70 мВ"));
        record.CalibrationStep(run, 3, 101, QStringLiteral("мкА"), ocDone);
        record.CalibrationStep(run, 4, 20003, QStringLiteral("мкА"), ocDone);
        record.CalibrationStep(run, 5, std::nullopt, {}, ocDone);
        record.CalibrationEnded(run, ocDone, QDate(2026, 12, 10));
        record.CheckTaken(Subject(), {ekAsLeft, {{25, 25.1, 0.5}}});
        TSubject other = Subject();
        other.transducer.sensorName = QStringLiteral("ТХА цех 2");
        other.transducer.sensorNumber = 555;
        record.Correction(other, ekZeroCorrection, ocRefused, {}, {}, QStringLiteral("Отказ"));

        TScriptedHooks hooks;
        ServiceLogWindow w(record, hooks);
        w.ShowTransducer(Subject().transducer);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const TServiceLogModel& m = w.Model();
        QCOMPARE(m.rowCount(), 4);
        QCOMPARE(m.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Дата и время"));
        QCOMPARE(m.index(0, TServiceLogModel::colOperation).data().toString(), QStringLiteral("Проверка после настройки"));
        QCOMPARE(m.index(0, TServiceLogModel::colOutcome).data().toString(), QStringLiteral("Годен"));
        QCOMPARE(m.index(2, TServiceLogModel::colOutcome).data().toString(), QStringLiteral("Не годен"));
        QCOMPARE(m.index(3, TServiceLogModel::colDetails).data().toString(), QStringLiteral("SensorType: 1 → 3"));
        QCOMPARE(m.index(1, TServiceLogModel::colOperator).data().toString(), QStringLiteral("Петров"));
        auto* certificate = w.findChild<QAction*>(QStringLiteral("ActionCertificate"));
        QCOMPARE(certificate->text(), QStringLiteral("Сертификат…"));
        QVERIFY(!certificate->isEnabled()); // the newest entry is a check
        w.Table()->selectRow(1);
        QVERIFY(certificate->isEnabled());
        Save(&w, QStringLiteral("service-log.png"));

        w.Search(QStringLiteral("555"));
        QCOMPARE(m.rowCount(), 1);
        QCOMPARE(m.index(0, TServiceLogModel::colOutcome).data().toString(), QStringLiteral("Отказ прибора"));
        w.Search(QStringLiteral("цех"));
        QCOMPARE(m.rowCount(), 1);
        w.findChild<QAction*>(QStringLiteral("ActionServiceLogCurrent"))->trigger();
        QCOMPARE(m.rowCount(), 4);
        w.Table()->selectRow(1);

        hooks.pdfPath = dir.filePath(QStringLiteral("cert"));
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto* p = qobject_cast<CertificatePreview*>(QApplication::activeModalWidget());
            if (!p)
                return;
            seen = true;
            auto* t = p->findChild<QTableWidget*>(QStringLiteral("TableInstruments"));
            t->item(0, 0)->setText(QStringLiteral("Калибратор ЭЛЕМЕР-ИКСУ-2000"));
            t->item(0, 1)->setText(QStringLiteral("1501"));
            t->item(0, 2)->setText(QStringLiteral("С-ГЭК/2026-114"));
            QVERIFY(p->findChild<QTextBrowser*>(QStringLiteral("TextCertificate"))
                        ->toPlainText()
                        .contains(QStringLiteral("Калибратор ЭЛЕМЕР-ИКСУ-2000")));
            Save(p, QStringLiteral("certificate-preview.png"));
            p->findChild<QAction*>(QStringLiteral("ActionSavePdf"))->trigger();
            p->accept();
        });
        certificate->trigger();
        QVERIFY(seen);
        QCOMPARE(hooks.messages.last(), QStringLiteral("Сертификат сохранён в файл %1.pdf").arg(hooks.pdfPath));
        QVERIFY(QFileInfo(hooks.pdfPath + QStringLiteral(".pdf")).size() > 2000);
        QVERIFY(record.Drain(5000));
        TServiceQuery q(path);
        QCOMPARE(q.Instruments().size(), 1);
        QCOMPARE(q.Run(m.Entry(1)->id)->instruments.first().serial, QStringLiteral("1501"));
        // The next certificate offers the instruments remembered.
        CertificatePreview next(*q.Run(m.Entry(1)->id), {}, 12, record, hooks);
        QCOMPARE(next.Instruments().size(), 1);
    }

    // A journal that does not exist yet says so and where it will be.
    void journalNotMadeYet() {
        const QString path = dir.filePath(QStringLiteral("a-file"));
        QFile(path).open(QIODevice::WriteOnly);
        TServiceRecord record({QStringLiteral("Tarvo_TS"), QStringLiteral("1.0.0.0"), path + QStringLiteral("/x.sqlite"),
                               1000, 3000});
        TScriptedHooks hooks;
        ServiceLogWindow w(record, hooks);
        w.ShowTransducer(std::nullopt);
        w.show();
        QCOMPARE(w.Model().rowCount(), 0);
        QVERIFY(w.findChild<QLabel*>(QStringLiteral("LabelServiceLogStatus"))->text().startsWith(QStringLiteral("Журнал пуст")));
        QVERIFY(!w.findChild<QAction*>(QStringLiteral("ActionServiceLogCurrent"))->isEnabled());
    }
};

QTEST_MAIN(TestServiceRecordUi)
#include "tst_service_record_ui.moc"
