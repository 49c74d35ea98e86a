// The small windows as shown: the message dialog (every kind, every button set, the entry of a number
// and what it puts back), the progress window and the about box.
#include "MessageDlg.h"
#include "TfrmAbout.h"
#include "TfrmMessage.h"
#include "TfrmViewStatus.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>

namespace {

// What the dialog showed while it was up.
struct Seen {
    bool modal = false;
    QString title;
    QSize size;
    QString text;
    int iconKind = -2;
    bool iconPicture = false;
    bool iconHidden = false;
    int textHeight = 0;
    QStringList buttons; // captions of the visible buttons, left to right
    bool entryShown = false;
    bool closeButton = true;
};

// Looks at the dialog once it is up, then lets `answer` close it. (The dialog processes pending events
// before its modal loop starts, so a single-shot timer would find it not yet shown.)
void WhenShown(TfrmMessage& dlg, Seen& seen, std::function<void()> answer) {
    auto* poll = new QTimer(&dlg);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, &dlg, [poll, &dlg, &seen, answer] {
        if (!dlg.isVisible() || QApplication::activeModalWidget() != &dlg)
            return;
        poll->deleteLater();
        poll->stop();
        seen.modal = QApplication::activeModalWidget() == &dlg;
        seen.title = dlg.windowTitle();
        seen.size = dlg.size();
        seen.text = dlg.lbMess->text();
        seen.iconKind = dlg.imgIcon->property("iconKind").toInt();
        seen.iconPicture = !dlg.imgIcon->pixmap().isNull();
        seen.iconHidden = dlg.imgIcon->isHidden();
        seen.textHeight = dlg.lbMess->height();
        QList<QPushButton*> shown;
        for (QPushButton* b : {dlg.btnOk, dlg.btnYes, dlg.btnNo})
            if (b->isVisible())
                shown << b;
        std::sort(shown.begin(), shown.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
        for (QPushButton* b : shown)
            seen.buttons << b->text();
        seen.entryShown = dlg.rseVal->isVisible();
        seen.closeButton = dlg.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint);
        answer();
    });
    poll->start();
}

void Click(QPushButton* b) {
    QTest::mouseClick(b, Qt::LeftButton);
}

} // namespace

class TstTsSmallWindows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void messageDlg_data();
    void messageDlg();
    void messageIgnoresEscape();
    void messageCentredOnMainWindow();
    void enterValue_data();
    void enterValue();
    void viewStatus();
    void aboutBox();
    void aboutClosesOnFocusLoss();

private:
    QWidget* main_ = nullptr;
    TfrmMessage* dlg_ = nullptr; // one instance for every case, as the program keeps it
};

void TstTsSmallWindows::initTestCase() {
    main_ = new QWidget;
    main_->setGeometry(200, 150, 583, 367);
    main_->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_));
    dlg_ = new TfrmMessage(main_);
}

void TstTsSmallWindows::cleanupTestCase() {
    delete main_;
}

void TstTsSmallWindows::messageDlg_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("press");
    QTest::addColumn<int>("iconKind");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<int>("result");
    QTest::newRow("warning") << 0 << int(mbOK) << "btnOk" << 0 << QStringList{"Ok"} << int(mrOk);
    QTest::newRow("error") << 1 << int(mbOK) << "btnOk" << 1 << QStringList{"Ok"} << int(mrOk);
    QTest::newRow("information") << 2 << int(mbOK) << "btnOk" << 2 << QStringList{"Ok"} << int(mrOk);
    QTest::newRow("question, yes") << 3 << int(mbYes | mbNo) << "btnYes" << 3 << QStringList{"Да", "Нет"}
                                   << int(mrYes);
    QTest::newRow("question, no") << 3 << int(mbYes | mbNo) << "btnNo" << 3 << QStringList{"Да", "Нет"}
                                  << int(mrNo);
    // Right after a question: the icon of the last message must not stay.
    QTest::newRow("kind 4 shows no icon")
        << 4 << int(mbOK | mbYes | mbNo) << "btnNo" << -1 << QStringList{"Ok", "Да", "Нет"} << int(mrNo);
    QTest::newRow("kind -1 shows no icon")
        << -1 << int(mbYes) << "btnYes" << -1 << QStringList{"Да"} << int(mrYes);
    QTest::newRow("no button asked gets Ok") << 2 << 0 << "btnOk" << 2 << QStringList{"Ok"} << int(mrOk);
}

void TstTsSmallWindows::messageDlg() {
    QFETCH(int, kind);
    QFETCH(int, buttons);
    QFETCH(QString, press);
    QFETCH(int, iconKind);
    QFETCH(QStringList, captions);
    QFETCH(int, result);
    TfrmMessage& dlg = *dlg_;
    const QString text = QStringLiteral("Прибор номер 5 не найден.");
    Seen seen;
    WhenShown(dlg, seen, [&] { Click(dlg.findChild<QPushButton*>(press)); });
    QCOMPARE(dlg.MessageDlg(text, kind, buttons), result);

    QVERIFY(seen.modal);
    QCOMPARE(seen.title, QStringLiteral("Tarvo-ТС"));
    QCOMPARE(seen.size, QSize(359, 122));
    QVERIFY(!seen.closeButton);
    QCOMPARE(seen.text, text);
    QCOMPARE(seen.iconKind, iconKind);
    QCOMPARE(seen.iconPicture, iconKind >= 0);
    QVERIFY(!seen.iconHidden);
    QCOMPARE(seen.textHeight, 73);
    QCOMPARE(seen.buttons, captions);
    QVERIFY(!seen.entryShown);

    // Closed: the text is gone and the buttons are hidden again.
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.lbMess->text(), QString());
    for (QPushButton* b : {dlg.btnOk, dlg.btnYes, dlg.btnNo})
        QVERIFY(b->isHidden());
    QVERIFY(dlg.lbMess->wordWrap());
    QCOMPARE(dlg.lbMess->alignment(), Qt::Alignment(Qt::AlignCenter));
}

void TstTsSmallWindows::messageIgnoresEscape() {
    // Only the dialog's buttons answer it: Escape and a close request leave it up.
    TfrmMessage& dlg = *dlg_;
    Seen seen;
    bool upAfterEscape = false, upAfterClose = false;
    WhenShown(dlg, seen, [&] {
        QTest::keyClick(&dlg, Qt::Key_Escape);
        upAfterEscape = dlg.isVisible();
        dlg.windowHandle()->close(); // as the window manager asks it
        upAfterClose = dlg.isVisible();
        Click(dlg.btnNo);
    });
    QCOMPARE(dlg.MessageDlg(QStringLiteral("Разорвать установленное соединение?"), 3, mbYes | mbNo),
             int(mrNo));
    QVERIFY(upAfterEscape);
    QVERIFY(upAfterClose);
}

void TstTsSmallWindows::messageCentredOnMainWindow() {
    TfrmMessage& dlg = *dlg_;
    Seen seen;
    QPoint centre;
    WhenShown(dlg, seen, [&] {
        centre = dlg.geometry().center();
        Click(dlg.btnOk);
    });
    dlg.MessageDlg(QStringLiteral("Ни одного прибора не найдено."), 0, mbOK);
    const QPoint delta = centre - main_->frameGeometry().center();
    QVERIFY2(delta.manhattanLength() <= 4, qPrintable(QStringLiteral("%1,%2").arg(delta.x()).arg(delta.y())));
}

void TstTsSmallWindows::enterValue_data() {
    QTest::addColumn<QString>("press");
    QTest::addColumn<int>("result");
    QTest::newRow("Ok") << "btnYes" << int(mrYes);
    QTest::newRow("Отмена") << "btnNo" << int(mrNo);
}

void TstTsSmallWindows::enterValue() {
    QFETCH(QString, press);
    QFETCH(int, result);
    TfrmMessage& dlg = *dlg_;
    Seen seen;
    double shownValue = 0;
    WhenShown(dlg, seen, [&] {
        shownValue = dlg.rseVal->value();
        dlg.rseVal->clear();
        QTest::keyClicks(dlg.rseVal, QStringLiteral("-12.3"));
        Click(dlg.findChild<QPushButton*>(press));
    });
    double value = 0;
    const QString text = QStringLiteral("Введите значение температуры");
    QCOMPARE(dlg.EnterValue(text, value, 21.5), result);
    // The entry counts whichever button was pressed.
    QCOMPARE(value, -12.3);

    QVERIFY(seen.modal);
    QCOMPARE(seen.text, text);
    QVERIFY(seen.iconHidden);
    QCOMPARE(seen.iconKind, -1);
    QCOMPARE(seen.textHeight, 45);
    QVERIFY(seen.entryShown);
    QCOMPARE(shownValue, 21.5);
    QCOMPARE(seen.buttons, (QStringList{"Ok", "Отмена"}));
    QCOMPARE(dlg.rseVal->decimals(), 1);
    QCOMPARE(dlg.rseVal->singleStep(), 0.1);

    // Put back for the next message.
    QVERIFY(!dlg.imgIcon->isHidden());
    QCOMPARE(dlg.lbMess->height(), 73);
    QVERIFY(dlg.rseVal->isHidden());
    QCOMPARE(dlg.btnYes->text(), QStringLiteral("Да"));
    QCOMPARE(dlg.btnNo->text(), QStringLiteral("Нет"));
    QVERIFY(dlg.btnYes->isHidden());
    QVERIFY(dlg.btnNo->isHidden());
    WhenShown(dlg, seen = Seen{}, [&] { Click(dlg.btnYes); });
    QCOMPARE(dlg.MessageDlg(QStringLiteral("Продолжить?"), 3, mbYes | mbNo), int(mrYes));
    QCOMPARE(seen.buttons, (QStringList{"Да", "Нет"}));
    QCOMPARE(seen.iconKind, 3);
    QVERIFY(!seen.iconHidden);
    QVERIFY(!seen.entryShown);
}

void TstTsSmallWindows::viewStatus() {
    TfrmViewStatus w(main_);
    QCOMPARE(w.objectName(), QStringLiteral("frmViewStatus"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Поиск прибора"));
    QCOMPARE(w.height(), 170);
    w.Label1->setText(QStringLiteral("Поиск прибора до первого найденного"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(w.Label1->isVisible());
    QVERIFY(w.Label1->wordWrap());
    QCOMPARE(w.Label1->alignment(), Qt::Alignment(Qt::AlignCenter));
    QVERIFY(w.KvProgressBar->isHidden());
    QVERIFY(w.btnStop->isHidden());
    QCOMPARE(w.btnStop->text(), QStringLiteral("Стоп!"));

    w.KvProgressBar->setRange(1, 247);
    w.KvProgressBar->setValue(124);
    w.KvProgressBar->show();
    w.btnStop->show();
    QVERIFY(w.KvProgressBar->isTextVisible());
    QCOMPARE(w.KvProgressBar->text(), QStringLiteral("50%"));
    QVERIFY(!w.SearchStopRequested());
    Click(w.btnStop);
    QVERIFY(w.SearchStopRequested());
    w.SetSearchStopRequested(false);
    QVERIFY(!w.SearchStopRequested());

    w.SetWindowHeight(120);
    QCOMPARE(w.height(), 120);
    QVERIFY(w.btnStop->geometry().bottom() < 120);
}

void TstTsSmallWindows::aboutBox() {
    TfrmAbout about(main_);
    QCOMPARE(about.objectName(), QStringLiteral("frmAbout"));
    QCOMPARE(about.windowTitle(), QStringLiteral("О программе"));
    QVERIFY(about.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(about.lbProgName->text(), QStringLiteral("Tarvo-ТС"));
    QCOMPARE(about.lbVersion->text(), QStringLiteral("Версия  1.0"));
    QCOMPARE(about.lbPurpose->text(),
             QStringLiteral("Программа для настройки \nпреобразователей Tarvo-ТС-4-20"));
    QVERIFY(about.lbAddress->text().contains(QStringLiteral("тел.")));
    QVERIFY(about.lbEmail->text().contains(maker::Email()));

    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    const QPoint delta = about.geometry().center() - main_->frameGeometry().center();
    QVERIFY(delta.manhattanLength() <= 4);
    QTest::keyClick(&about, Qt::Key_A);
    QVERIFY(about.isVisible()); // only Escape
    QTest::keyClick(&about, Qt::Key_Escape);
    QVERIFY(!about.isVisible());

    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(about.lbPurpose, Qt::LeftButton); // a click on the text closes it too
    QVERIFY(!about.isVisible());
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(&about, Qt::LeftButton, {}, QPoint(about.width() - 5, 5));
    QVERIFY(!about.isVisible());
}

void TstTsSmallWindows::aboutClosesOnFocusLoss() {
    TfrmAbout about(main_);
    about.show();
    QVERIFY(QTest::qWaitForWindowActive(&about));
    main_->activateWindow();
    QTRY_VERIFY(!about.isVisible());
}

QTEST_MAIN(TstTsSmallWindows)
#include "tst_ts_small_windows.moc"
