// The dock "Обмен" as shown in a main window: its parts, the observer only while it is open, following
// the newest row, the tool bar, copy and save, and the colours of failed rows.
#include "DockTraffic.h"
#include "TrafficModel.h"
#include "TrafficQueue.h"
#include "TrafficSamples.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <thread>

using namespace traffic;
using traffic::samples::ReadOf;
using traffic::samples::SerialOf;

namespace {

double luminance(const QColor& c) {
    auto lin = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette paletteOf(const QColor& base, const QColor& text) {
    QPalette p;
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::AlternateBase, base.lightnessF() < 0.5 ? base.lighter(120) : base.darker(105));
    return p;
}

// A main window with the dock at the bottom, as the programs will have it.
struct Window {
    QMainWindow main;
    TTrafficTap tap;
    TDockTraffic* dock;
    QAction* action;
    Window() {
        main.setObjectName(QStringLiteral("TestWindow"));
        dock = new TDockTraffic(&main);
        dock->SetTap(&tap);
        main.addDockWidget(Qt::BottomDockWidgetArea, dock);
        action = CreateActionTraffic(dock);
        main.resize(1000, 600);
        main.show();
        main.resizeDocks({dock}, {400}, Qt::Vertical);
        (void)QTest::qWaitForWindowExposed(&main);
    }
    ~Window() { dock->SetTap(nullptr); }
    void publish(const TTrafficExchange& e) {
        TTrafficExchange copy = e;
        tap.Publish(copy);
    }
    void drain() { dock->Queue()->Drain(); }
};

} // namespace

class TestDockTraffic : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void shownWithItsParts();
    void listensOnlyWhileShown();
    void rowsFromTheLinkThread();
    void followsTheNewestUnlessScrolledUp();
    void pauseClearAndFilters();
    void copyAndSave();
    void failedRowsStandOut_data();
    void failedRowsStandOut();
};

void TestDockTraffic::shownWithItsParts() {
    Window w;
    QCOMPARE(w.dock->objectName(), QStringLiteral("DockTraffic"));
    QCOMPARE(w.dock->windowTitle(), QStringLiteral("Обмен"));
    QVERIFY(w.dock->isVisible());
    QCOMPARE(w.action->objectName(), QStringLiteral("ActionTraffic"));
    QCOMPARE(w.action->text(), QStringLiteral("Обмен"));
    QVERIFY(w.action->isCheckable());
    QVERIFY(w.action->isChecked());
    auto* table = w.dock->findChild<QTableView*>(QStringLiteral("TableTraffic"));
    QVERIFY(table && table->isVisible());
    QCOMPARE(table, w.dock->Table());
    for (const char* name : {"ToolBarTraffic", "SpinBoxTrafficAddress", "ComboBoxTrafficFunction",
                             "LabelTrafficCount", "LabelTrafficAddress", "LabelTrafficFunction"}) {
        auto* widget = w.dock->findChild<QWidget*>(QLatin1String(name));
        QVERIFY2(widget && widget->isVisible(), name);
    }
    const QStringList captions{QStringLiteral("Пауза"), QStringLiteral("Очистить"), QStringLiteral("Копировать"),
                               QStringLiteral("Сохранить...")};
    const char* names[] = {"ActionTrafficPause", "ActionTrafficClear", "ActionTrafficCopy", "ActionTrafficSave"};
    auto* bar = w.dock->findChild<QToolBar*>(QStringLiteral("ToolBarTraffic"));
    for (int i = 0; i < 4; ++i) {
        auto* a = w.dock->findChild<QAction*>(QLatin1String(names[i]));
        QVERIFY2(a, names[i]);
        QCOMPARE(a->text(), captions[i]);
        QVERIFY(bar->actions().contains(a));
    }
    QStringList titles;
    for (int c = 0; c < table->model()->columnCount(); ++c)
        titles << table->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles.join(QLatin1Char('|')), QStringLiteral("Время|Направление|Адрес|Функция|Байты|Итог|мс"));
    // Every column can be seen at the dock's width.
    for (int c = 0; c < table->model()->columnCount(); ++c)
        QVERIFY2(table->columnViewportPosition(c) + table->columnWidth(c) <= table->viewport()->width() + 1,
                 qPrintable(titles[c]));
    QCOMPARE(w.dock->findChild<QLabel*>(QStringLiteral("LabelTrafficCount"))->text().trimmed(),
             QStringLiteral("Кадров: 0 из 10,000"));
}

void TestDockTraffic::listensOnlyWhileShown() {
    Window w;
    QVERIFY(w.tap.Active());
    QVERIFY(w.dock->Listening());
    w.action->trigger(); // closes the dock
    QVERIFY(!w.dock->isVisible());
    QVERIFY(!w.tap.Active());
    // A closed view takes nothing.
    w.publish(ReadOf(1));
    QTest::qWait(60);
    QCOMPARE(w.dock->Model()->rowCount(), 0);
    w.action->trigger();
    QVERIFY(w.dock->isVisible());
    QVERIFY(w.tap.Active());
    w.publish(ReadOf(2));
    QTRY_COMPARE(w.dock->Model()->rowCount(), 2);
    // What waits in the queue when the dock closes still reaches the list.
    w.publish(ReadOf(3));
    w.dock->close();
    QVERIFY(!w.tap.Active());
    QCOMPARE(w.dock->Model()->rowCount(), 4);
    QVERIFY(!w.action->isChecked());

    // A dock created closed never listens until shown.
    QMainWindow other;
    TTrafficTap tap;
    auto* closed = new TDockTraffic(&other);
    other.addDockWidget(Qt::BottomDockWidgetArea, closed);
    closed->hide();
    closed->SetTap(&tap);
    other.show();
    QVERIFY(!tap.Active());
    closed->show();
    QVERIFY(tap.Active());
    delete closed; // leaves the tap
    QVERIFY(!tap.Active());
}

void TestDockTraffic::rowsFromTheLinkThread() {
    Window w;
    std::vector<TTrafficExchange> exchanges;
    for (int i = 0; i < 300; ++i)
        exchanges.push_back(ReadOf(i, 1, 3, i % 50 == 7 ? TOutcome::NoReply : TOutcome::Ok));
    std::thread link([&] {
        for (const TTrafficExchange& e : exchanges)
            w.publish(e);
    });
    QTRY_COMPARE_WITH_TIMEOUT(w.dock->Model()->rowCount(), 600 - 6, 10000);
    link.join();
    TTrafficModel* m = w.dock->Model();
    for (int r = 1; r < m->rowCount(); ++r)
        QVERIFY(SerialOf(m->Row(r)) >= SerialOf(m->Row(r - 1)));
    // The newest row is in sight.
    QTRY_VERIFY(w.dock->Table()->verticalScrollBar()->value() == w.dock->Table()->verticalScrollBar()->maximum());
    const QModelIndex last = m->index(m->rowCount() - 1, 0);
    QTRY_VERIFY(w.dock->Table()->viewport()->rect().intersects(w.dock->Table()->visualRect(last)));
}

void TestDockTraffic::followsTheNewestUnlessScrolledUp() {
    Window w;
    TTrafficModel* m = w.dock->Model();
    QTableView* table = w.dock->Table();
    QScrollBar* bar = table->verticalScrollBar();
    std::vector<TTrafficExchange> batch;
    for (int i = 0; i < 4990; ++i)
        batch.push_back(ReadOf(i));
    m->AddExchanges(batch);
    QCoreApplication::processEvents();
    QVERIFY(w.dock->Following());
    QCOMPARE(bar->value(), bar->maximum());

    // The user scrolls up: new rows no longer move the list, not even when the oldest are dropped.
    bar->setValue(bar->maximum() / 2);
    QCoreApplication::processEvents();
    QVERIFY(!w.dock->Following());
    const int topRow = table->indexAt(QPoint(2, 2)).row();
    const int topSerial = SerialOf(m->Row(topRow));
    for (int i = 4990; i < 5040; ++i)
        m->AddExchange(ReadOf(i)); // 60 rows dropped at the top
    QCoreApplication::processEvents();
    QCOMPARE(m->FrameCount(), 10000);
    QVERIFY(bar->value() < bar->maximum());
    QCOMPARE(SerialOf(m->Row(table->indexAt(QPoint(2, 2)).row())), topSerial);

    // Back at the end, it follows again.
    bar->setValue(bar->maximum());
    QVERIFY(w.dock->Following());
    m->AddExchange(ReadOf(6000));
    QCoreApplication::processEvents();
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(table->indexAt(QPoint(2, table->viewport()->height() - 3)).row(), m->rowCount() - 1);
}

void TestDockTraffic::pauseClearAndFilters() {
    Window w;
    TTrafficModel* m = w.dock->Model();
    auto* label = w.dock->findChild<QLabel*>(QStringLiteral("LabelTrafficCount"));
    w.dock->ActionPause()->trigger();
    QVERIFY(m->Paused());
    w.publish(ReadOf(1));
    w.drain();
    QCOMPARE(m->rowCount(), 0);
    QCOMPARE(label->text().trimmed(), QStringLiteral("Кадров: 0 из 10,000; пауза; пропущено: 2"));
    w.dock->ActionPause()->trigger();
    QVERIFY(!m->Paused());
    for (auto [addr, fn] : {std::pair{1, 17}, {1, 3}, {5, 3}, {5, 16}, {1, 3}})
        w.publish(ReadOf(7, std::uint8_t(addr), std::uint8_t(fn)));
    w.drain();
    QCOMPARE(m->rowCount(), 10);

    // The function list holds the functions seen, in order of their codes.
    auto* functions = w.dock->findChild<QComboBox*>(QStringLiteral("ComboBoxTrafficFunction"));
    QStringList items;
    for (int i = 0; i < functions->count(); ++i)
        items << functions->itemText(i);
    QCOMPARE(items.join(QLatin1Char('|')),
             QStringLiteral("все|3 Чтение регистров|16 Запись регистров|17 Идентификация"));
    functions->setCurrentIndex(1);
    QCOMPARE(m->FunctionFilter(), 3);
    QCOMPARE(m->rowCount(), 6);
    auto* address = w.dock->findChild<QSpinBox*>(QStringLiteral("SpinBoxTrafficAddress"));
    QCOMPARE(address->text(), QStringLiteral("все"));
    address->setValue(5);
    QCOMPARE(m->AddressFilter(), 5);
    QCOMPARE(m->rowCount(), 2);
    QCOMPARE(label->text().trimmed(), QStringLiteral("Кадров: 10 из 10,000, показано 2; пропущено: 2"));
    // A function seen later does not move the current filter.
    w.publish(ReadOf(8, 5, 7));
    w.drain();
    QCOMPARE(functions->currentText(), QStringLiteral("3 Чтение регистров"));
    QCOMPARE(m->FunctionFilter(), 3);

    w.dock->ActionClear()->trigger();
    QCOMPARE(m->FrameCount(), 0);
    QCOMPARE(label->text().trimmed(), QStringLiteral("Кадров: 0 из 10,000"));
}

void TestDockTraffic::copyAndSave() {
    Window w;
    TTrafficModel* m = w.dock->Model();
    for (int i = 0; i < 3; ++i)
        w.publish(ReadOf(i, 1, 3, i == 1 ? TOutcome::NoReply : TOutcome::Ok));
    w.drain();
    QCOMPARE(m->rowCount(), 5);
    QVERIFY(!w.dock->ActionCopy()->isEnabled());
    QTableView* table = w.dock->Table();
    table->selectRow(3);
    table->selectionModel()->select(m->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QVERIFY(w.dock->ActionCopy()->isEnabled());
    QApplication::clipboard()->clear();
    table->setFocus();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    QCOMPARE(copied, m->RowsText({2, 3}));
    QCOMPARE(copied.count(QLatin1Char('\n')), 2);
    QVERIFY(copied.contains(QStringLiteral("\tЗапрос\t1\t3 Чтение регистров\t01 03 00 01 00 01 D5 CA\t"
                                           "Превышен таймаут ожидания ответа\t4.2\n")));

    QTemporaryDir dir;
    QString asked;
    const QString path = dir.filePath(QStringLiteral("обмен.txt"));
    w.dock->SetSaveFileChooser([&](QWidget*, const QString& suggested) {
        asked = suggested;
        return path;
    });
    w.dock->ActionSave()->trigger();
    QVERIFY(asked.endsWith(QStringLiteral(".txt")));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()), m->ViewText());
    auto* saved = w.dock->findChild<QLabel*>(QStringLiteral("LabelTrafficSaved"));
    QCOMPARE(saved->text(), QStringLiteral("; сохранено в обмен.txt"));

    // Cancelled: nothing written. A folder that is not there: said so.
    w.dock->SetSaveFileChooser([](QWidget*, const QString&) { return QString(); });
    QVERIFY(!w.dock->SaveView());
    w.dock->SetSaveFileChooser([&](QWidget*, const QString&) { return dir.filePath(QStringLiteral("нет/x.txt")); });
    QVERIFY(!w.dock->SaveView());
    QVERIFY(saved->text().startsWith(QStringLiteral("; не удалось сохранить x.txt")));
}

void TestDockTraffic::failedRowsStandOut_data() {
    QTest::addColumn<QPalette>("palette");
    QTest::newRow("light") << paletteOf(Qt::white, Qt::black);
    QTest::newRow("light grey") << paletteOf(QColor(240, 240, 240), QColor(30, 30, 30));
    QTest::newRow("dark") << paletteOf(QColor(30, 30, 32), QColor(230, 230, 230));
    QTest::newRow("black") << paletteOf(Qt::black, Qt::white);
}

void TestDockTraffic::failedRowsStandOut() {
    QFETCH(QPalette, palette);
    for (TSeverity s : {TSeverity::Failed, TSeverity::Warning}) {
        const QColor tint = TTrafficDelegate::SeverityBackground(palette, s);
        QVERIFY(tint.isValid());
        // The text stays readable on it, and the row stands apart from ordinary ones.
        QVERIFY2(contrast(tint, palette.color(QPalette::Text)) >= 4.5, qPrintable(tint.name()));
        const QColor base = palette.color(QPalette::Base);
        QVERIFY2(std::abs(tint.red() - base.red()) + std::abs(tint.green() - base.green()) +
                         std::abs(tint.blue() - base.blue()) >=
                     60,
                 qPrintable(tint.name()));
    }
    QVERIFY(!TTrafficDelegate::SeverityBackground(palette, TSeverity::Ok).isValid());

    // As painted: the empty left part of a failed row's address cell has the tint; an ordinary row not.
    Window w;
    QTableView* table = w.dock->Table();
    table->setPalette(palette);
    w.publish(ReadOf(1));
    w.publish(ReadOf(2, 1, 3, TOutcome::NoReply));
    w.drain();
    QCoreApplication::processEvents();
    const QImage shot = table->viewport()->grab().toImage();
    const int x = table->columnViewportPosition(TTrafficDecoder::ColAddress) + 3;
    auto pixelOfRow = [&](int row) { return shot.pixelColor(x, table->rowViewportPosition(row) + 2); };
    QCOMPARE(pixelOfRow(2).name(), TTrafficDelegate::SeverityBackground(palette, TSeverity::Failed).name());
    QVERIFY(pixelOfRow(0) != pixelOfRow(2));
    QVERIFY(pixelOfRow(1) != pixelOfRow(2));
}

QTEST_MAIN(TestDockTraffic)
#include "tst_dock_traffic.moc"
