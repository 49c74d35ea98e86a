#include "TConfigurationPage.h"

#include "Configuration.h"
#include "PageContext.h"
#include "PageSupport.h"
#include "TInformationPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString Unsupported = QStringLiteral("Прибор не поддерживается программой");

enum TGroup : int { grKind, grR0, grAlarm4D, grAlarm4E, grDirection };

// Checks nothing in the group (an exclusive group keeps one button checked otherwise).
void UncheckAll(QButtonGroup* group) {
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons())
        b->setChecked(false);
    group->setExclusive(true);
}

// Checks the button of `id` in the group, or none when no button has it.
void CheckOnly(QButtonGroup* group, int id) {
    if (QAbstractButton* b = group->button(id))
        b->setChecked(true);
    else
        UncheckAll(group);
}

} // namespace

TConfigurationPage::TConfigurationPage(TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("tsConfiguration"), QStringLiteral("Конфигурация"), QString(),
                  parent) {
    CreateWidgets();
}

void TConfigurationPage::CreateWidgets() {
    auto group = [this](const char* name, const QString& caption) {
        auto* g = new QGroupBox(caption, this);
        g->setObjectName(QLatin1String(name));
        return g;
    };
    auto radio = [](const char* name, const QString& caption, QWidget* parent) {
        auto* r = new QRadioButton(caption, parent);
        r->setObjectName(QLatin1String(name));
        return r;
    };
    auto label = [](const char* name, const QString& caption, QWidget* parent) {
        auto* l = new QLabel(caption, parent);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    auto spin = [](const char* name, int maxCharacters, int minimum, int maximum, QWidget* parent) {
        auto* s = new TExitSpinBox(maxCharacters, parent);
        s->setObjectName(QLatin1String(name));
        s->setRange(minimum, maximum);
        return s;
    };
    for (auto& g : FGroups) {
        g = new QButtonGroup(this);
    }
    FGroups[grKind]->setObjectName(QStringLiteral("grSensorKind"));
    FGroups[grR0]->setObjectName(QStringLiteral("grSensorR0"));
    FGroups[grAlarm4D]->setObjectName(QStringLiteral("grAlarmCur4D"));
    FGroups[grAlarm4E]->setObjectName(QStringLiteral("grAlarmCur4E"));
    FGroups[grDirection]->setObjectName(QStringLiteral("grLeadOut"));

    // Sensor kind: each radio button followed by the α sign and the coefficient, all three clickable.
    gbSensorKind = group("gbSensorKind", QStringLiteral("Тип датчика"));
    {
        auto* grid = new QGridLayout(gbSensorKind);
        grid->setHorizontalSpacing(0);
        grid->setVerticalSpacing(2);
        struct TKindText {
            const char* radio;
            QString caption;
            const char* alpha;
            const char* coefficientName;
            QString coefficient;
        };
        const std::array<TKindText, 3> kinds = {{
            {"rbPl_391", QStringLiteral("ТСП, "), "lbAlpha391", "lbCoef391", QStringLiteral(" = 0,00391")},
            {"rbPl_385", QStringLiteral("ТСП,"), "lbAlpha385", "lbCoef385", QStringLiteral(" = 0,00385")},
            {"rbCu", QStringLiteral("ТСМ,"), "lbAlphaCu", "lbCoefCu", QStringLiteral(" = 0,00428")},
        }};
        for (int k = 0; k < 3; ++k) {
            const TKindText& t = kinds[std::size_t(k)];
            QRadioButton* r = radio(t.radio, t.caption, gbSensorKind);
            auto* alpha = new TClickLabel(QStringLiteral("α"), gbSensorKind);
            alpha->setObjectName(QLatin1String(t.alpha));
            auto* coefficient = new TClickLabel(t.coefficient, gbSensorKind);
            coefficient->setObjectName(QLatin1String(t.coefficientName));
            rbKind[std::size_t(k)] = r;
            lbAlpha[std::size_t(k)] = alpha;
            lbCoefficient[std::size_t(k)] = coefficient;
            FGroups[grKind]->addButton(r, k + 1);
            grid->addWidget(r, k, 0);
            grid->addWidget(alpha, k, 1);
            grid->addWidget(coefficient, k, 2);
            const int kind = k + 1;
            connect(r, &QRadioButton::clicked, this, [this, kind] { SensorKindClick(kind); });
            connect(alpha, &TClickLabel::Clicked, this, [this, kind] { SensorKindClick(kind); });
            connect(coefficient, &TClickLabel::Clicked, this, [this, kind] { SensorKindClick(kind); });
            for (QWidget* w : std::initializer_list<QWidget*>{r, alpha, coefficient})
                w->installEventFilter(this);
        }
        grid->setColumnStretch(3, 1);
    }
    rbPl_391 = rbKind[0];
    rbPl_385 = rbKind[1];
    rbCu = rbKind[2];

    // A panel of two choices side by side, each with its id in the panel's button group.
    struct TChoice {
        const char* name;
        QString caption;
        int id;
    };
    auto twoChoices = [&](QGroupBox* panel, QButtonGroup* buttons, const TChoice& a, const TChoice& b) {
        auto* box = new QHBoxLayout(panel);
        std::array<QRadioButton*, 2> made{};
        for (std::size_t i = 0; i < 2; ++i) {
            const TChoice& c = i == 0 ? a : b;
            made[i] = radio(c.name, c.caption, panel);
            buttons->addButton(made[i], c.id);
            box->addWidget(made[i]);
        }
        box->addStretch(1);
        return made;
    };

    gbSensorR0 = group("gbSensorR0", QStringLiteral("Сопротивление датчика"));
    const auto r0 = twoChoices(gbSensorR0, FGroups[grR0], {"rbR100", QStringLiteral("100 Ом"), 100},
                               {"rbR50", QStringLiteral("50 Ом"), 50});
    rbR100 = r0[0];
    rbR50 = r0[1];

    gbRange = group("gbRange", QStringLiteral("Диапазон преобразования"));
    {
        auto* grid = new QGridLayout(gbRange);
        grid->setVerticalSpacing(4);
        rseTopTempBound = spin("rseTopTempBound", 4, -200, 600, gbRange);
        rseBottomTempBound = spin("rseBottomTempBound", 4, -200, 600, gbRange);
        lbMaxTemp = label("lbMaxTemp", QString(), gbRange);
        lbMinTemp = label("lbMinTemp", QString(), gbRange);
        grid->addWidget(label("lbTopTempBound", QStringLiteral("Верхняя граница"), gbRange), 0, 0);
        grid->addWidget(rseTopTempBound, 0, 1);
        grid->addWidget(label("lbMaxTempCaption", QStringLiteral("Не более"), gbRange), 0, 2);
        grid->addWidget(lbMaxTemp, 0, 3);
        grid->addWidget(label("lbBottomTempBound", QStringLiteral("Нижняя граница"), gbRange), 1, 0);
        grid->addWidget(rseBottomTempBound, 1, 1);
        grid->addWidget(label("lbMinTempCaption", QStringLiteral("Не менее"), gbRange), 1, 2);
        grid->addWidget(lbMinTemp, 1, 3);
        grid->setColumnMinimumWidth(3, fontMetrics().horizontalAdvance(QStringLiteral("-200 °C")) + 4);
        grid->setColumnStretch(4, 1);
    }

    // The two alarm panels share one spot; ShowConfiguration shows the one of the transducer's type.
    pnAlarmCur4D = group("pnAlarmCur4D", QStringLiteral("Аварийный сигнал"));
    {
        auto* grid = new QGridLayout(pnAlarmCur4D);
        grid->setVerticalSpacing(2);
        rbI3_6 = radio("rbI3_6", QStringLiteral("3,2 мА"), pnAlarmCur4D);
        rbI3_8 = radio("rbI3_8", QStringLiteral("3,6 мА"), pnAlarmCur4D);
        rbI21 = radio("rbI21", QStringLiteral("21 мА"), pnAlarmCur4D);
        rbI22 = radio("rbI22", QStringLiteral("22 мА"), pnAlarmCur4D);
        int code = 1;
        for (QRadioButton* r : {rbI3_6, rbI3_8, rbI21, rbI22}) {
            FGroups[grAlarm4D]->addButton(r, code);
            grid->addWidget(r, (code - 1) % 2, (code - 1) / 2);
            ++code;
        }
    }
    pnAlarmCur4E = group("pnAlarmCur4E", QStringLiteral("Аварийный сигнал"));
    {
        auto* grid = new QGridLayout(pnAlarmCur4E);
        grid->setVerticalSpacing(2);
        rbI0 = radio("rbI0", QStringLiteral("0 мА"), pnAlarmCur4E);
        rbI5_5 = radio("rbI5_5", QStringLiteral("5,5 мА"), pnAlarmCur4E);
        FGroups[grAlarm4E]->addButton(rbI0, 1);
        FGroups[grAlarm4E]->addButton(rbI5_5, 2);
        grid->addWidget(rbI0, 0, 0);
        grid->addWidget(rbI5_5, 1, 0);
    }
    pnAlarmCur4E->hide();

    gbAverage = group("gbAverage", QStringLiteral("Усреднение измерений"));
    {
        auto* grid = new QGridLayout(gbAverage);
        grid->setVerticalSpacing(2);
        cbAverageTurnOn = new QCheckBox(QStringLiteral("Включить усреднение"), gbAverage);
        cbAverageTurnOn->setObjectName(QStringLiteral("cbAverageTurnOn"));
        rseAverage = spin("rseAverage", 0, 1, 30, gbAverage);
        rseAverage->setValue(1);
        rseAverage->setEnabled(false);
        grid->addWidget(cbAverageTurnOn, 0, 0, 1, 3);
        grid->addWidget(rseAverage, 1, 0);
        grid->addWidget(label("lbAverageUnits", QStringLiteral("сек."), gbAverage), 1, 1);
        grid->setColumnStretch(2, 1);
    }

    gbLeadOut = group("gbLeadOut", QStringLiteral("Выходной сигнал"));
    const auto direction = twoChoices(gbLeadOut, FGroups[grDirection],
                                      {"rbDirectLeadOut", QStringLiteral("Прямой"), 1},
                                      {"rbInversLeadOut", QStringLiteral("Инверсный"), 0});
    rbDirectLeadOut = direction[0];
    rbInversLeadOut = direction[1];

    gbSlaveID = group("gbSlaveID", QStringLiteral("Адрес (1..247)"));
    {
        auto* box = new QHBoxLayout(gbSlaveID);
        rseConfSlaveID = spin("rseConfSlaveID", 0, 1, 247, gbSlaveID);
        rseConfSlaveID->setValue(1);
        box->addWidget(rseConfSlaveID);
        box->addStretch(1);
    }

    btnConfRead = new QPushButton(QStringLiteral("Прочитать"), this);
    btnConfRead->setObjectName(QStringLiteral("btnConfRead"));
    btnConfWrite = new QPushButton(QStringLiteral("Записать"), this);
    btnConfWrite->setObjectName(QStringLiteral("btnConfWrite"));

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    grid->addWidget(gbSensorKind, 0, 0);
    grid->addWidget(gbRange, 0, 1, 1, 2);
    grid->addWidget(gbSensorR0, 1, 0);
    grid->addWidget(pnAlarmCur4D, 1, 1);
    grid->addWidget(pnAlarmCur4E, 1, 1);
    grid->addWidget(gbAverage, 1, 2);
    grid->addWidget(gbLeadOut, 2, 0);
    grid->addWidget(gbSlaveID, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnConfRead);
    buttons->addWidget(btnConfWrite);
    grid->addLayout(buttons, 2, 2, Qt::AlignBottom);
    grid->setRowStretch(3, 1);

    ++FShowing;
    SetLimits(skPt391);
    rseTopTempBound->setValue(0);
    rseBottomTempBound->setValue(0);
    --FShowing;

    connect(rbR100, &QRadioButton::clicked, this, &TConfigurationPage::rbR100Click);
    connect(rbR50, &QRadioButton::clicked, this, &TConfigurationPage::rbR50Click);
    for (int g : {grAlarm4D, grAlarm4E})
        connect(FGroups[std::size_t(g)], &QButtonGroup::idClicked, this, &TConfigurationPage::AlarmClick);
    connect(rseTopTempBound, &QSpinBox::valueChanged, this, &TConfigurationPage::BoundChange);
    connect(rseBottomTempBound, &QSpinBox::valueChanged, this, &TConfigurationPage::BoundChange);
    connect(rseTopTempBound, &TExitSpinBox::Exited, this, &TConfigurationPage::rseTopTempBoundExit);
    connect(rseBottomTempBound, &TExitSpinBox::Exited, this, &TConfigurationPage::rseBottomTempBoundExit);
    connect(cbAverageTurnOn, &QCheckBox::clicked, this, &TConfigurationPage::cbAverageTurnOnClick);
    connect(rseAverage, &QSpinBox::valueChanged, this, &TConfigurationPage::rseAverageChange);
    connect(rseAverage, &TExitSpinBox::Exited, this, &TConfigurationPage::rseAverageExit);
    connect(rbDirectLeadOut, &QRadioButton::clicked, this, &TConfigurationPage::rbDirectLeadOutClick);
    connect(rbInversLeadOut, &QRadioButton::clicked, this, &TConfigurationPage::rbInversLeadOutClick);
    connect(rseConfSlaveID, &QSpinBox::valueChanged, this, &TConfigurationPage::rseConfSlaveIDChange);
    connect(btnConfRead, &QPushButton::clicked, this, &TConfigurationPage::btnConfReadClick);
    connect(btnConfWrite, &QPushButton::clicked, this, &TConfigurationPage::btnConfWriteClick);
}

void TConfigurationPage::SetLimits(int kind) {
    const std::optional<TRangeLimits> limits = RangeLimits(kind);
    if (!limits)
        return;
    rseTopTempBound->setRange(limits->TopMin(), limits->TopMax());
    rseBottomTempBound->setRange(limits->BottomMin(), limits->BottomMax());
    lbMaxTemp->setText(LimitLabel(limits->highest));
    lbMinTemp->setText(LimitLabel(limits->lowest));
}

void TConfigurationPage::SetSensorKind(int kind) {
    const std::optional<TRangeLimits> limits = RangeLimits(kind);
    if (!limits)
        return;
    ++FShowing;
    SetLimits(kind);
    rseTopTempBound->setValue(limits->TopMax());
    rseBottomTempBound->setValue(limits->BottomMin());
    --FShowing;
    Context().DeviceData().SensorKind = kind;
}

void TConfigurationPage::ShowConfiguration() {
    const TTarvo& d = Context().DeviceData();
    ++FShowing;
    // 1. The sensor kind with its limits (which reset the bounds).
    CheckOnly(FGroups[grKind], d.SensorKind);
    if (RangeLimits(d.SensorKind))
        SetSensorKind(d.SensorKind);
    // 2. Resistance. 3. The bounds. 4. The output direction.
    CheckOnly(FGroups[grR0], d.SensorR0);
    rseBottomTempBound->setValue(d.BottomTempBound);
    rseTopTempBound->setValue(d.TopTempBound);
    CheckOnly(FGroups[grDirection], d.DirectLeadOut ? 1 : 0);
    // 5. The alarm panel of the transducer's type; a type not ours ends the connection.
    pnAlarmCur4D->hide();
    pnAlarmCur4E->hide();
    switch (AlarmPanelFor(d.PLTypeCode)) {
    case ap4_20mA:
        pnAlarmCur4D->show();
        CheckOnly(FGroups[grAlarm4D], d.AlarmCur);
        break;
    case ap0_5mA:
        pnAlarmCur4E->show();
        CheckOnly(FGroups[grAlarm4E], d.AlarmCur);
        break;
    case apUnsupported:
        --FShowing;
        Context().ShowSystemError(Unsupported);
        Context().Link().BreakConnection();
        pnAlarmCur4E->show();
        return;
    }
    // 6. Averaging. 7. The address.
    cbAverageTurnOn->setChecked(d.Average != 0);
    rseAverage->setEnabled(d.Average != 0);
    if (d.Average != 0)
        rseAverage->setValue(d.Average);
    rseConfSlaveID->setValue(d.SlaveID);
    --FShowing;
}

void TConfigurationPage::ClearFields() {
    ++FShowing;
    for (QButtonGroup* g : FGroups)
        UncheckAll(g);
    cbAverageTurnOn->setChecked(false);
    rseAverage->setEnabled(false);
    rseTopTempBound->setValue(0);
    rseBottomTempBound->setValue(0);
    rseConfSlaveID->setValue(1);
    --FShowing;
}

TExchangeResult TConfigurationPage::WriteConfiguration() {
    TTsLink& link = Context().Link();
    TTarvo& d = link.DeviceData;
    if (!link.IsPortOpen())
        return link.WriteConfiguration(); // says "Соединение не установлено", sends nothing
    d.TopTempBound = rseTopTempBound->value();
    d.BottomTempBound = rseBottomTempBound->value();
    d.Average = cbAverageTurnOn->isChecked() ? rseAverage->value() : 0;
    TExchangeResult r;
    {
        TDiagnosticsPause pause(Context());
        r = link.WriteConfiguration(rseConfSlaveID->value());
    }
    if (link.IsPortOpen())
        Context().Information().ShowSlaveID();
    return r;
}

void TConfigurationPage::Mark() {
    if (FShowing == 0)
        Context().SetConfModified(true);
}

void TConfigurationPage::SensorKindClick(int kind) {
    if (QAbstractButton* b = FGroups[grKind]->button(kind))
        b->setChecked(true);
    SetSensorKind(kind);
    Mark();
}

void TConfigurationPage::rbR100Click() {
    Context().DeviceData().SensorR0 = 100;
    Mark();
}

void TConfigurationPage::rbR50Click() {
    Context().DeviceData().SensorR0 = 50;
    Mark();
}

void TConfigurationPage::AlarmClick(int code) {
    Context().DeviceData().AlarmCur = code;
    Mark();
}

void TConfigurationPage::BoundChange() {
    Mark();
}

void TConfigurationPage::rseTopTempBoundExit() {
    Context().DeviceData().TopTempBound = rseTopTempBound->value();
}

void TConfigurationPage::rseBottomTempBoundExit() {
    Context().DeviceData().BottomTempBound = rseBottomTempBound->value();
}

void TConfigurationPage::cbAverageTurnOnClick() {
    const bool on = cbAverageTurnOn->isChecked();
    rseAverage->setEnabled(on);
    Context().DeviceData().Average = on ? rseAverage->value() : 0;
    Mark();
}

void TConfigurationPage::rseAverageChange() {
    Mark();
}

void TConfigurationPage::rseAverageExit() {
    Context().DeviceData().Average = rseAverage->value();
}

void TConfigurationPage::rbDirectLeadOutClick() {
    Context().DeviceData().DirectLeadOut = true;
    Mark();
}

void TConfigurationPage::rbInversLeadOutClick() {
    Context().DeviceData().DirectLeadOut = false;
    Mark();
}

void TConfigurationPage::rseConfSlaveIDChange() {
    Mark();
}

void TConfigurationPage::btnConfReadClick() {
    // A press while an exchange waits for its reply is not a second command.
    if (!Context().Link().CanStartExchange())
        return;
    TTsLink::TOperation operation(Context().Link());
    const TExchangeResult r = Context().Link().ReadConfiguration();
    Context().ProcessMessages();
    // The page shows what the transducer stores only after an answered read; a lost link has cleared the
    // marks already.
    if (r.answered())
        Context().SetConfModified(false);
}

void TConfigurationPage::btnConfWriteClick() {
    if (!Context().Link().CanStartExchange())
        return;
    TTsLink::TOperation operation(Context().Link());
    const TExchangeResult r = WriteConfiguration();
    Context().ProcessMessages();
    // Nothing sent (the range) or refused by the transducer: the edits are still unwritten.
    if (r.answered())
        Context().SetConfModified(false);
}

void TConfigurationPage::HotTrackKind(int kind, bool on) {
    if (kind < 1 || kind > 3)
        return;
    const std::size_t k = std::size_t(kind - 1);
    const QColor hot = Context().HotTrackColor();
    // The widget's own sheet outranks the scheme's; an empty one gives the scheme's colour back.
    const QString sheet = on && hot.isValid() ? QStringLiteral("color: %1;").arg(hot.name()) : QString();
    for (QWidget* w : std::initializer_list<QWidget*>{rbKind[k], lbAlpha[k], lbCoefficient[k]})
        w->setStyleSheet(sheet);
}

bool TConfigurationPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
        for (int k = 0; k < 3; ++k) {
            const std::size_t i = std::size_t(k);
            if (watched == rbKind[i] || watched == lbAlpha[i] || watched == lbCoefficient[i])
                HotTrackKind(k + 1, event->type() == QEvent::Enter);
        }
    }
    return TDevicePage::eventFilter(watched, event);
}
