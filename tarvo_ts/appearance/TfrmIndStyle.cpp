#include "TfrmIndStyle.h"

#include "DialogService.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

using L = TLcdIndicator;

// Items of cbColorSheme, in list order.
constexpr L::TLcdColorScheme SchemeItems[] = {L::csBlack,     L::csSilver, L::csInvSilver, L::csPlasma,
                                              L::csInvPlasma, L::csNavy,   L::csWhite};
// Items of cbIndStyle, in list order.
constexpr L::TLcdIndicatorStyle StyleItems[] = {L::isNormal, L::isThin, L::isThick};

int SchemeItemOf(L::TLcdColorScheme scheme) {
    for (int i = 0; i < int(std::size(SchemeItems)); ++i)
        if (SchemeItems[i] == scheme)
            return i;
    return -1;
}

int StyleItemOf(L::TLcdIndicatorStyle style) {
    for (int i = 0; i < int(std::size(StyleItems)); ++i)
        if (StyleItems[i] == style)
            return i;
    return -1;
}

QLabel* Label(const QString& text, const QString& name, QWidget* parent, int x, int y) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(x, y);
    l->adjustSize();
    return l;
}

} // namespace

TColorSwatch::TColorSwatch(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::Box);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void TColorSwatch::SetColor(const QColor& color) {
    if (color == FColor)
        return;
    FColor = color;
    update();
}

void TColorSwatch::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);
    QPainter p(this);
    p.fillRect(rect().adjusted(2, 2, -2, -2), FColor);
    p.setPen(QPen(palette().color(QPalette::WindowText), 1));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    if (hasFocus()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(1, 1, -2, -2));
    }
}

void TColorSwatch::mouseReleaseEvent(QMouseEvent* e) {
    QFrame::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        Q_EMIT released();
}

void TColorSwatch::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Space || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        Q_EMIT released();
        return;
    }
    QFrame::keyPressEvent(e);
}

TfrmIndStyle::TfrmIndStyle(TLcdIndicator* indT, TLcdIndicator* indR, TLcdIndicator* indCalibrDate,
                           TDialogService* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), FDialogs(dialogs), FStyleTargets{indT, indR, indCalibrDate} {
    setObjectName(QStringLiteral("frmIndStyle"));
    setWindowTitle(QStringLiteral("Стиль индикаторов"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinimizeButtonHint);

    FMenu = new QMenuBar(this);
    FMenu->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* file = FMenu->addMenu(QStringLiteral("Файл"));
    file->setObjectName(QStringLiteral("mnuFile"));
    file->menuAction()->setObjectName(QStringLiteral("miFile"));
    actOpen = file->addAction(QStringLiteral("Открыть..."));
    actOpen->setObjectName(QStringLiteral("miOpen"));
    actOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    actSave = file->addAction(QStringLiteral("Сохранить"));
    actSave->setObjectName(QStringLiteral("miSave"));
    actSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));

    FClient = new QWidget(this);
    FClient->setObjectName(QStringLiteral("pnlClient"));
    FClient->setFixedSize(490, 258);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(FMenu);
    layout->addWidget(FClient);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Label(QStringLiteral("Индикатор"), QStringLiteral("lbInd"), FClient, 8, 8);
    cbInd = new QComboBox(FClient);
    cbInd->setObjectName(QStringLiteral("cbInd"));
    cbInd->addItems({QStringLiteral("T"), QStringLiteral("R"), QStringLiteral("T и R"),
                     QStringLiteral("Дата последней настройки")});
    cbInd->setGeometry(8, 26, 250, 24);

    Label(QStringLiteral("Цветовая схема:"), QStringLiteral("lbColorSheme"), FClient, 8, 60);
    cbColorSheme = new QComboBox(FClient);
    cbColorSheme->setObjectName(QStringLiteral("cbColorSheme"));
    cbColorSheme->addItems({QStringLiteral("Черная"), QStringLiteral("Серебристая"),
                            QStringLiteral("Инвертированная серебристая"), QStringLiteral("Плазма"),
                            QStringLiteral("Инвертированная плазма"), QStringLiteral("Синяя"), QStringLiteral("Белая")});
    cbColorSheme->setGeometry(8, 78, 250, 24);

    const std::pair<TColorSwatch**, std::pair<const char*, QString>> swatches[] = {
        {&ShNumForeColor, {"ShNumForeColor", QStringLiteral("Цвет символов")}},
        {&shNumBackColor, {"shNumBackColor", QStringLiteral("Цвет неактивных символов")}},
        {&shBackColor, {"shBackColor", QStringLiteral("Цвет фона")}},
        {&shBevelColor, {"shBevelColor", QStringLiteral("Цвет рамки")}},
    };
    int y = 114;
    for (const auto& [field, names] : swatches) {
        auto* sw = new TColorSwatch(FClient);
        sw->setObjectName(QLatin1String(names.first));
        sw->setGeometry(8, y, 40, 22);
        Label(names.second, QStringLiteral("lb") + QLatin1String(names.first).mid(2), FClient, 56, y + 3);
        connect(sw, &TColorSwatch::released, this, [this, sw] { SwatchReleased(sw); });
        *field = sw;
        y += 28;
    }

    Label(QStringLiteral("Просвет"), QStringLiteral("lbIndGrap"), FClient, 8, 231);
    rseIndGrap = new QSpinBox(FClient);
    rseIndGrap->setObjectName(QStringLiteral("rseIndGrap"));
    rseIndGrap->setRange(0, MaxIndicatorGap);
    rseIndGrap->setGeometry(80, 227, 56, 24);
    Label(QStringLiteral("пт."), QStringLiteral("lbIndGrapUnit"), FClient, 142, 231);

    Ind = new TLcdIndicator(FClient);
    Ind->setObjectName(QStringLiteral("Ind"));
    Ind->setIndicatorstring(QStringLiteral("8888"));

    Label(QStringLiteral("Отображение символов"), QStringLiteral("lbIndKind"), FClient, 272, 80);
    cbIndKind = new QComboBox(FClient);
    cbIndKind->setObjectName(QStringLiteral("cbIndKind"));
    cbIndKind->addItems({QStringLiteral("7 сегментов"), QStringLiteral("Матрица 7х9")});
    cbIndKind->setGeometry(272, 98, 209, 24);

    Label(QStringLiteral("Толщина символов"), QStringLiteral("lbIndStyle"), FClient, 272, 132);
    cbIndStyle = new QComboBox(FClient);
    cbIndStyle->setObjectName(QStringLiteral("cbIndStyle"));
    cbIndStyle->addItems({QStringLiteral("Нормальные"), QStringLiteral("Тонкие"), QStringLiteral("Толстые")});
    cbIndStyle->setGeometry(272, 150, 209, 24);

    btnOk = new QPushButton(QStringLiteral("Ок"), FClient);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(272, 222, 100, 28);
    btnCancel = new QPushButton(QStringLiteral("Отмена"), FClient);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(381, 222, 100, 28);

    PlacePreview();

    connect(cbInd, &QComboBox::activated, this, &TfrmIndStyle::cbIndSelect);
    connect(cbColorSheme, &QComboBox::activated, this, &TfrmIndStyle::cbColorShemeSelect);
    connect(cbIndKind, &QComboBox::activated, this, &TfrmIndStyle::cbIndKindSelect);
    connect(cbIndStyle, &QComboBox::activated, this, &TfrmIndStyle::cbIndStyleSelect);
    connect(rseIndGrap, &QSpinBox::valueChanged, this, &TfrmIndStyle::rseIndGrapChange);
    connect(btnOk, &QPushButton::clicked, this, &TfrmIndStyle::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmIndStyle::btnCancelClick);
    connect(actOpen, &QAction::triggered, this, &TfrmIndStyle::OpenClick);
    connect(actSave, &QAction::triggered, this, &TfrmIndStyle::SaveClick);
}

QList<TLcdIndicator*> TfrmIndStyle::Edited() const {
    QList<TLcdIndicator*> list{Ind};
    if (TLcdIndicator* t = Target(FCurrentTarget))
        list << t;
    if (FSecondTarget == 2 && Target(2) && !list.contains(Target(2)))
        list << Target(2);
    return list;
}

void TfrmIndStyle::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (e->spontaneous()) // brought back from the task bar: not a new showing
        return;
    cbInd->setCurrentIndex(0);
    for (int i = 0; i < 3; ++i)
        FSavedStyles[std::size_t(i)] = FStyleTargets[std::size_t(i)] ? GetIndStyle(*FStyleTargets[std::size_t(i)])
                                                                     : TIndStyle();
    FCurrentTarget = 1;
    FSecondTarget = 0;
    PlacePreview();
    if (Target(FCurrentTarget))
        CopyIndStyle(*Target(FCurrentTarget), *Ind);
    ShowIndStyle();
}

void TfrmIndStyle::PlacePreview() {
    if (FCurrentTarget == 3) {
        Ind->setSignNumber(10);
        Ind->setIndicatorWidth(132);
        Ind->setIndicatorHeight(36);
        Ind->move(310, 22);
    } else {
        Ind->setSignNumber(6);
        Ind->setIndicatorWidth(209);
        Ind->setIndicatorHeight(49);
        Ind->move(272, 16);
    }
}

void TfrmIndStyle::ShowIndStyle() {
    FShowing = true;
    cbColorSheme->setCurrentIndex(SchemeItemOf(Ind->ColorScheme()));
    ShNumForeColor->SetColor(Ind->NumberForeColor());
    shNumBackColor->SetColor(Ind->NumberBackColor());
    shBackColor->SetColor(Ind->BackColor());
    shBevelColor->SetColor(Ind->BevelColor());
    cbIndKind->setCurrentIndex(Ind->IndicatorKind() == L::ik7segment    ? 0
                               : Ind->IndicatorKind() == L::ik5x7matrix ? 1
                                                                        : -1);
    cbIndStyle->setCurrentIndex(StyleItemOf(Ind->IndicatorStyle()));
    rseIndGrap->setValue(Ind->IndicatorGap());
    FShowing = false;
}

void TfrmIndStyle::cbIndSelect(int index) {
    FCurrentTarget = index == 1 ? 2 : index == 3 ? 3 : 1;
    FSecondTarget = index == 2 ? 2 : 0;
    PlacePreview();
    if (Target(FCurrentTarget))
        CopyIndStyle(*Target(FCurrentTarget), *Ind);
    if (FSecondTarget == 2 && Target(2))
        CopyIndStyle(*Ind, *Target(2));
    ShowIndStyle();
}

void TfrmIndStyle::cbColorShemeSelect(int index) {
    if (index < 0 || index >= int(std::size(SchemeItems)))
        return;
    const L::TLcdColorScheme scheme = SchemeItems[index];
    // The scheme's colours also when the indicator already has that scheme (its setter would keep the
    // colours set since), so that choosing a scheme always brings its colours.
    const L::SchemeColors c = L::SchemeColorsOf(scheme);
    for (TLcdIndicator* ind : Edited()) {
        ind->setColorScheme(scheme);
        ind->setBackColor(c.back);
        ind->setBevelColor(c.bevel);
        ind->setNumberBackColor(c.numberBack);
        ind->setNumberForeColor(c.numberFore);
        ind->setNumberForeColor1(c.numberFore1);
    }
    ShowIndStyle();
}

void TfrmIndStyle::SwatchReleased(TColorSwatch* swatch) {
    QColor color = swatch->Color();
    if (!FDialogs || !FDialogs->ChooseColor(this, color))
        return;
    swatch->SetColor(color);
    for (TLcdIndicator* ind : Edited()) {
        if (swatch == ShNumForeColor)
            ind->setNumberForeColor(color);
        else if (swatch == shNumBackColor)
            ind->setNumberBackColor(color);
        else if (swatch == shBackColor)
            ind->setBackColor(color);
        else
            ind->setBevelColor(color);
    }
}

void TfrmIndStyle::cbIndKindSelect(int index) {
    const L::TLcdIndicatorKind kind = index == 1 ? L::ik5x7matrix : L::ik7segment;
    for (TLcdIndicator* ind : Edited())
        ind->setIndicatorKind(kind);
}

void TfrmIndStyle::cbIndStyleSelect(int index) {
    if (index < 0 || index >= int(std::size(StyleItems)))
        return;
    for (TLcdIndicator* ind : Edited())
        ind->setIndicatorStyle(StyleItems[index]);
}

void TfrmIndStyle::rseIndGrapChange(int value) {
    if (FShowing)
        return;
    for (TLcdIndicator* ind : Edited())
        ind->setIndicatorGap(value);
}

void TfrmIndStyle::btnOkClick() {
    close();
}

void TfrmIndStyle::btnCancelClick() {
    for (int i = 0; i < 3; ++i)
        if (FStyleTargets[std::size_t(i)])
            ApplyIndStyle(*FStyleTargets[std::size_t(i)], FSavedStyles[std::size_t(i)]);
    close();
}

void TfrmIndStyle::OpenClick() {
    if (!FDialogs)
        return;
    const QString path = FDialogs->GetOpenFileName(this, IndStyleOpenFolder(), IndStyleFileFilter());
    if (path.isEmpty() || !Target(FCurrentTarget))
        return;
    // Names in the file that name no value keep what the indicator shows now.
    TIndStyle style = GetIndStyle(*Target(FCurrentTarget));
    LoadIndStyle(TIniFile(path), QString::fromUtf16(IndStyleSection), style);
    ApplyIndStyle(*Target(FCurrentTarget), style);
    if (FSecondTarget == 2 && Target(2))
        ApplyIndStyle(*Target(2), style);
    CopyIndStyle(*Target(FCurrentTarget), *Ind);
    ShowIndStyle();
}

void TfrmIndStyle::SaveClick() {
    if (!FDialogs)
        return;
    const QString chosen = FDialogs->GetSaveFileName(this, QString(), IndStyleFileFilter());
    if (chosen.isEmpty())
        return;
    const QString path = WithIndExtension(chosen);
    TIniFile file(path);
    SaveIndStyle(*Ind, file, QString::fromUtf16(IndStyleSection));
    const TIniError error = file.Save();
    if (error != TIniError::None)
        FDialogs->ShowError(this, IniErrorText(error, path));
}
