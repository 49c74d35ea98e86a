// The indicator style window as the user works it: its lists, the preview per target, live edits of the
// indicators, "T и R", "Ок" and "Отмена", and style files through scripted dialogs.
#include "DialogService.h"
#include "TfrmIndStyle.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

using L = TLcdIndicator;

namespace {

class TScriptedDialogs final : public TDialogService {
public:
    struct Call {
        QString kind, folder, filter;
    };
    QList<Call> calls;
    QString openAnswer, saveAnswer;
    QColor colorAnswer; // invalid: cancel
    QStringList errors;

    QString GetOpenFileName(QWidget*, const QString& folder, const QString& filter) override {
        calls << Call{QStringLiteral("open"), folder, filter};
        return openAnswer;
    }
    QString GetSaveFileName(QWidget*, const QString& folder, const QString& filter) override {
        calls << Call{QStringLiteral("save"), folder, filter};
        return saveAnswer;
    }
    bool ChooseColor(QWidget*, QColor& color) override {
        calls << Call{QStringLiteral("color:") + color.name(), QString(), QString()};
        if (!colorAnswer.isValid())
            return false;
        color = colorAnswer;
        return true;
    }
    void ShowError(QWidget*, const QString& text) override { errors << text; }
};

QStringList Items(const QComboBox* cb) {
    QStringList items;
    for (int i = 0; i < cb->count(); ++i)
        items << cb->itemText(i);
    return items;
}

} // namespace

class TstFrmIndStyle : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void controls();
    void showingTakesTheFirstTarget();
    void dateTargetPreview();
    void selectionMapsControls_data();
    void selectionMapsControls();
    void editsApplyLive();
    void tAndRWithCancel();
    void okKeepsAndNextShowTakesStylesAgain();
    void colourDialogCancelled();
    void saveAndOpen();
    void saveFailureIsReported();

private:
    template <typename T>
    T* Child(const char* name) const {
        return FForm->findChild<T*>(QLatin1String(name));
    }
    void Choose(const char* combo, int index) {
        auto* cb = Child<QComboBox>(combo);
        cb->setCurrentIndex(index);
        Q_EMIT cb->activated(index);
    }
    void Show() {
        FForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(FForm));
    }

    QWidget* FHost = nullptr;
    L* FT = nullptr;
    L* FR = nullptr;
    L* FDate = nullptr;
    TScriptedDialogs* FDialogs = nullptr;
    TfrmIndStyle* FForm = nullptr;
};

void TstFrmIndStyle::init() {
    FHost = new QWidget;
    FT = new L(FHost);
    FR = new L(FHost);
    FDate = new L(FHost);
    FDialogs = new TScriptedDialogs;
    FForm = new TfrmIndStyle(FT, FR, FDate, FDialogs, FHost);
}

void TstFrmIndStyle::cleanup() {
    delete FHost; // the window with it
    delete FDialogs;
}

void TstFrmIndStyle::controls() {
    Show();
    QCOMPARE(FForm->objectName(), QStringLiteral("frmIndStyle"));
    QCOMPARE(FForm->windowTitle(), QStringLiteral("Стиль индикаторов"));
    QVERIFY(FForm->isWindow());
    QVERIFY(!FForm->isModal());
    QCOMPARE(Items(Child<QComboBox>("cbInd")),
             QStringList({"T", "R", "T и R", "Дата последней настройки"}));
    QCOMPARE(Items(Child<QComboBox>("cbColorSheme")),
             QStringList({"Черная", "Серебристая", "Инвертированная серебристая", "Плазма",
                          "Инвертированная плазма", "Синяя", "Белая"}));
    QCOMPARE(Items(Child<QComboBox>("cbIndKind")), QStringList({"7 сегментов", "Матрица 7х9"}));
    QCOMPARE(Items(Child<QComboBox>("cbIndStyle")), QStringList({"Нормальные", "Тонкие", "Толстые"}));
    QCOMPARE(Child<QPushButton>("btnOk")->text(), QStringLiteral("Ок"));
    QCOMPARE(Child<QPushButton>("btnCancel")->text(), QStringLiteral("Отмена"));
    QCOMPARE(Child<QSpinBox>("rseIndGrap")->minimum(), 0);
    QCOMPARE(Child<QSpinBox>("rseIndGrap")->maximum(), 7);
    for (const char* name : {"ShNumForeColor", "shNumBackColor", "shBackColor", "shBevelColor"})
        QVERIFY2(Child<TColorSwatch>(name), name);
    QStringList labels;
    for (const QLabel* l : FForm->findChildren<QLabel*>())
        labels << l->text();
    for (const char* text : {"Индикатор", "Цветовая схема:", "Цвет символов", "Цвет неактивных символов", "Цвет фона",
                             "Цвет рамки", "Просвет", "пт.", "Отображение символов", "Толщина символов"})
        QVERIFY2(labels.contains(QString::fromUtf8(text)), text);
    const QMenuBar* menu = Child<QMenuBar>("MainMenu1");
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions()[0]->text(), QStringLiteral("Файл"));
    const QList<QAction*> file = menu->actions()[0]->menu()->actions();
    QCOMPARE(file[0]->text(), QStringLiteral("Открыть..."));
    QCOMPARE(file[0]->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    QCOMPARE(file[1]->text(), QStringLiteral("Сохранить"));
    QCOMPARE(file[1]->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    // Every control and action of the window carries its name.
    QList<QObject*> named;
    for (QObject* o : FForm->findChildren<QObject*>())
        if (o->parent() == FForm || o->parent() == Child<QWidget>("pnlClient") || qobject_cast<QAction*>(o) ||
            qobject_cast<QMenu*>(o))
            named << o;
    for (const QObject* o : named)
        QVERIFY2(!o->objectName().isEmpty() || o->inherits("QLayout"), o->metaObject()->className());
}

void TstFrmIndStyle::showingTakesTheFirstTarget() {
    FT->setColorScheme(L::csPlasma);
    FT->setIndicatorStyle(L::isThin);
    Show();
    L* p = FForm->Preview();
    QCOMPARE(Child<QComboBox>("cbInd")->currentText(), QStringLiteral("T"));
    QCOMPARE(FForm->CurrentTarget(), 1);
    QCOMPARE(FForm->SecondTarget(), 0);
    QCOMPARE(p->SignNumber(), 6);
    QCOMPARE(p->IndicatorWidth(), 209);
    QCOMPARE(p->IndicatorHeight(), 49);
    QCOMPARE(p->x(), 272);
    QCOMPARE(p->Indicatorstring(), QStringLiteral("8888"));
    QCOMPARE(GetIndStyle(*p), GetIndStyle(*FT));
    QCOMPARE(Child<QComboBox>("cbColorSheme")->currentText(), QStringLiteral("Плазма"));
    QCOMPARE(Child<QComboBox>("cbIndStyle")->currentText(), QStringLiteral("Тонкие"));
    QCOMPARE(Child<TColorSwatch>("ShNumForeColor")->Color(), FT->NumberForeColor());
}

void TstFrmIndStyle::dateTargetPreview() {
    Show();
    Choose("cbInd", 3);
    L* p = FForm->Preview();
    QCOMPARE(FForm->CurrentTarget(), 3);
    QCOMPARE(FForm->SecondTarget(), 0);
    QCOMPARE(p->SignNumber(), 10);
    QCOMPARE(p->IndicatorWidth(), 132);
    QCOMPARE(p->IndicatorHeight(), 36);
    QCOMPARE(p->x(), 310);
    const TIndStyle t = GetIndStyle(*FT);
    Choose("cbColorSheme", 5); // "Синяя"
    QCOMPARE(FDate->ColorScheme(), L::csNavy);
    QCOMPARE(GetIndStyle(*FT), t);
    Choose("cbInd", 0); // back to T: the large preview again
    QCOMPARE(p->SignNumber(), 6);
    QCOMPARE(p->x(), 272);
}

void TstFrmIndStyle::selectionMapsControls_data() {
    QTest::addColumn<int>("scheme");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("schemeItem");
    QTest::addColumn<int>("kindItem");
    QTest::addColumn<int>("styleItem");
    QTest::newRow("black, matrix, thin") << int(L::csBlack) << int(L::ik5x7matrix) << int(L::isThin) << 0 << 1 << 1;
    QTest::newRow("silver, 7 segments, normal") << int(L::csSilver) << int(L::ik7segment) << int(L::isNormal) << 1
                                                << 0 << 0;
    QTest::newRow("inverted silver, thick") << int(L::csInvSilver) << int(L::ik7segment) << int(L::isThick) << 2 << 0
                                            << 2;
    QTest::newRow("inverted plasma") << int(L::csInvPlasma) << int(L::ik7segment) << int(L::isThick) << 4 << 0 << 2;
    QTest::newRow("white") << int(L::csWhite) << int(L::ik7segment) << int(L::isThick) << 6 << 0 << 2;
}

void TstFrmIndStyle::selectionMapsControls() {
    QFETCH(int, scheme);
    QFETCH(int, kind);
    QFETCH(int, style);
    QFETCH(int, schemeItem);
    QFETCH(int, kindItem);
    QFETCH(int, styleItem);
    FR->setColorScheme(L::TLcdColorScheme(scheme));
    FR->setIndicatorKind(L::TLcdIndicatorKind(kind));
    FR->setIndicatorStyle(L::TLcdIndicatorStyle(style));
    FR->setIndicatorGap(6);
    Show();
    Choose("cbInd", 1); // "R"
    QCOMPARE(FForm->CurrentTarget(), 2);
    QCOMPARE(Child<QComboBox>("cbColorSheme")->currentIndex(), schemeItem);
    QCOMPARE(Child<QComboBox>("cbIndKind")->currentIndex(), kindItem);
    QCOMPARE(Child<QComboBox>("cbIndStyle")->currentIndex(), styleItem);
    QCOMPARE(Child<QSpinBox>("rseIndGrap")->value(), 6);
    // Choosing the same items back changes nothing of R.
    const TIndStyle before = GetIndStyle(*FR);
    Choose("cbIndKind", kindItem);
    Choose("cbIndStyle", styleItem);
    QCOMPARE(GetIndStyle(*FR), before);
}

void TstFrmIndStyle::editsApplyLive() {
    Show();
    const TIndStyle r = GetIndStyle(*FR);
    Choose("cbIndKind", 1);
    Choose("cbIndStyle", 1);
    Child<QSpinBox>("rseIndGrap")->setValue(5);
    for (L* ind : {FT, FForm->Preview()}) {
        QCOMPARE(ind->IndicatorKind(), L::ik5x7matrix);
        QCOMPARE(ind->IndicatorStyle(), L::isThin);
        QCOMPARE(ind->IndicatorGap(), 5);
    }
    QCOMPARE(GetIndStyle(*FR), r);
    // A scheme brings its colours, also when the indicator had that scheme with colours of its own.
    FDialogs->colorAnswer = QColor(0x11, 0x22, 0x33);
    QTest::mouseClick(Child<TColorSwatch>("shBackColor"), Qt::LeftButton);
    QCOMPARE(FT->BackColor(), QColor(0x11, 0x22, 0x33));
    Choose("cbColorSheme", 1); // "Серебристая", which it had already
    QCOMPARE(FT->BackColor(), L::SchemeColorsOf(L::csSilver).back);
    QCOMPARE(Child<TColorSwatch>("shBackColor")->Color(), L::SchemeColorsOf(L::csSilver).back);
}

void TstFrmIndStyle::tAndRWithCancel() {
    FT->setColorScheme(L::csInvPlasma);
    FT->setIndicatorGap(4);
    FR->setColorScheme(L::csBlack);
    const TIndStyle t = GetIndStyle(*FT);
    const TIndStyle r = GetIndStyle(*FR);
    Show();
    Choose("cbInd", 2); // "T и R"
    QCOMPARE(FForm->CurrentTarget(), 1);
    QCOMPARE(FForm->SecondTarget(), 2);
    QCOMPARE(GetIndStyle(*FR), t); // R takes T's style at once

    FDialogs->colorAnswer = QColor(0xFF, 0, 0);
    QTest::mouseClick(Child<TColorSwatch>("ShNumForeColor"), Qt::LeftButton);
    QCOMPARE(FDialogs->calls.last().kind, QStringLiteral("color:") + ColorFromTColor(t.NumberForeColor, QPalette()).name());
    for (L* ind : {FT, FR, FForm->Preview()})
        QCOMPARE(ind->NumberForeColor(), QColor(0xFF, 0, 0));
    QCOMPARE(Child<TColorSwatch>("ShNumForeColor")->Color(), QColor(0xFF, 0, 0));

    QTest::mouseClick(Child<QPushButton>("btnCancel"), Qt::LeftButton);
    QVERIFY(!FForm->isVisible());
    QCOMPARE(GetIndStyle(*FT), t);
    QCOMPARE(GetIndStyle(*FR), r);
}

void TstFrmIndStyle::okKeepsAndNextShowTakesStylesAgain() {
    Show();
    Choose("cbIndStyle", 1);
    QTest::mouseClick(Child<QPushButton>("btnOk"), Qt::LeftButton);
    QVERIFY(!FForm->isVisible());
    QCOMPARE(FT->IndicatorStyle(), L::isThin);
    // "Отмена" of the next showing goes back to the styles of that showing, not of the first.
    Show();
    Choose("cbIndStyle", 2);
    QTest::mouseClick(Child<QPushButton>("btnCancel"), Qt::LeftButton);
    QCOMPARE(FT->IndicatorStyle(), L::isThin);
}

void TstFrmIndStyle::colourDialogCancelled() {
    Show();
    const TIndStyle t = GetIndStyle(*FT);
    FDialogs->colorAnswer = QColor();
    QTest::mouseClick(Child<TColorSwatch>("shBevelColor"), Qt::LeftButton);
    QCOMPARE(FDialogs->calls.size(), 1);
    QCOMPARE(FDialogs->calls[0].kind, QStringLiteral("color:") + FT->BevelColor().name());
    QCOMPARE(GetIndStyle(*FT), t);
    // The keyboard opens it as well.
    Child<TColorSwatch>("shBevelColor")->setFocus();
    QTest::keyClick(Child<TColorSwatch>("shBevelColor"), Qt::Key_Space);
    QCOMPARE(FDialogs->calls.size(), 2);
}

void TstFrmIndStyle::saveAndOpen() {
    QTemporaryDir dir;
    Show();
    Choose("cbColorSheme", 3); // "Плазма"
    Choose("cbIndKind", 1);
    Child<QSpinBox>("rseIndGrap")->setValue(3);
    const TIndStyle saved = GetIndStyle(*FT);

    FDialogs->saveAnswer = dir.filePath(QStringLiteral("style"));
    FForm->findChild<QAction*>(QStringLiteral("miSave"))->trigger();
    QCOMPARE(FDialogs->calls.last().kind, QStringLiteral("save"));
    QCOMPARE(FDialogs->calls.last().folder, QString());
    QCOMPARE(FDialogs->calls.last().filter, IndStyleFileFilter());
    QVERIFY(FDialogs->errors.isEmpty());
    const TIniFile file(dir.filePath(QStringLiteral("style.ind")));
    QCOMPARE(file.ReadSectionKeys(QStringLiteral("IndStyle")),
             QStringList({"Colorsheme", "NumForeColor", "NumBackColor", "BackColor", "BevelColor", "IndKind", "IndSlyle",
                          "IndGrap"}));
    QCOMPARE(file.ReadString(QStringLiteral("IndStyle"), QStringLiteral("Colorsheme"), QString()),
             QStringLiteral("csPlasma"));

    // Another look, then the file is opened onto R while "T и R" is chosen.
    Choose("cbColorSheme", 0);
    Choose("cbIndKind", 0);
    Choose("cbInd", 2);
    FDialogs->openAnswer = file.FileName();
    FForm->findChild<QAction*>(QStringLiteral("miOpen"))->trigger();
    QCOMPARE(FDialogs->calls.last().kind, QStringLiteral("open"));
    QCOMPARE(FDialogs->calls.last().folder, IndStyleOpenFolder());
    QCOMPARE(GetIndStyle(*FT), saved);
    QCOMPARE(GetIndStyle(*FR), saved);
    QCOMPARE(GetIndStyle(*FForm->Preview()), saved);
    QCOMPARE(Child<QComboBox>("cbColorSheme")->currentText(), QStringLiteral("Плазма"));
    QCOMPARE(Child<QSpinBox>("rseIndGrap")->value(), 3);

    // Cancelled dialogs do nothing.
    FDialogs->openAnswer.clear();
    FDialogs->saveAnswer.clear();
    FForm->findChild<QAction*>(QStringLiteral("miOpen"))->trigger();
    FForm->findChild<QAction*>(QStringLiteral("miSave"))->trigger();
    QCOMPARE(GetIndStyle(*FT), saved);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"style.ind"});
}

void TstFrmIndStyle::saveFailureIsReported() {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("taken.ind"));
    QVERIFY(QDir().mkpath(folder));
    Show();
    FDialogs->saveAnswer = folder; // a folder of that name is in the way
    FForm->findChild<QAction*>(QStringLiteral("miSave"))->trigger();
    QCOMPARE(FDialogs->errors.size(), 1);
    QVERIFY(FDialogs->errors[0].contains(QDir::toNativeSeparators(folder)));
    QVERIFY(QFileInfo(folder).isDir());
}

QTEST_MAIN(TstFrmIndStyle)
#include "tst_frmindstyle.moc"
