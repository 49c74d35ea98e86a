#include "TCalibrationPage.h"

#include "CalibrationRules.h"
#include "FieldworkTexts.h"
#include "LcdIndicator.h"
#include "PageContext.h"
#include "PageSupport.h"
#include "TDiagnosticPage.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace fieldwork;

void TExitDoubleSpinBox::focusOutEvent(QFocusEvent* event) {
    QDoubleSpinBox::focusOutEvent(event);
    if (LeavesForAnotherControl(event->reason()))
        Q_EMIT Exited();
}

QColor TCalibrationPage::StageColor() {
    return QColor(0x00, 0x80, 0x00); // green
}

QColor TCalibrationPage::CancelledColor() {
    return QColor(0x80, 0x00, 0x80); // purple
}

TCalibrationPage::TCalibrationPage(TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("tsCalobration"), QStringLiteral("Настройка"),
                  QStringLiteral(" Калибровка "), parent),
      FDateForm(TDateForm::ForLocale(QLocale())) {
    CreateWidgets();
}

void TCalibrationPage::CreateWidgets() {
    auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    lbStage = label("lbStage", QString());
    lbStage->setAlignment(Qt::AlignCenter);
    lbStage->setWordWrap(true);
    QFont bold = lbStage->font();
    bold.setBold(true);
    lbStage->setFont(bold);
    lbStage->setMinimumHeight(lbStage->fontMetrics().lineSpacing() * 3 + 8);
    SetStageColor(StageColor());

    lbCalibrCur = label("lbCalibrCur", fieldtext::MeasuredCurrent);
    rseCalibrCur = new TExitDoubleSpinBox(this);
    rseCalibrCur->setObjectName(QStringLiteral("rseCalibrCur"));
    rseCalibrCur->setDecimals(3);
    rseCalibrCur->setSingleStep(0.01);
    rseCalibrCur->setRange(0.0, 99.999);
    rseCalibrCur->setFixedWidth(rseCalibrCur->fontMetrics().horizontalAdvance(QStringLiteral("000,0000")) + 40);

    lbCalibrNewDate = label("lbCalibrNewDate", fieldtext::DateCaption);
    meCalibrNewDate = new TExitLineEdit(this);
    meCalibrNewDate->setObjectName(QStringLiteral("meCalibrNewDate"));
    meCalibrNewDate->setInputMask(FDateForm.InputMask());
    meCalibrNewDate->setMaxLength(10);
    meCalibrNewDate->setText(FDateForm.EmptyText());
    meCalibrNewDate->setFixedWidth(meCalibrNewDate->fontMetrics().horizontalAdvance(QStringLiteral("00.00.00000")) + 16);

    btnBeginCalibr = new QPushButton(fieldtext::BeginCalibration, this);
    btnBeginCalibr->setObjectName(QStringLiteral("btnBeginCalibr"));
    btnCancelCalibr = new QPushButton(fieldtext::CancelCalibration, this);
    btnCancelCalibr->setObjectName(QStringLiteral("btnCancelCalibr"));

    auto* entries = new QGridLayout;
    entries->addWidget(lbCalibrCur, 0, 1, Qt::AlignRight);
    entries->addWidget(rseCalibrCur, 0, 2);
    entries->addWidget(lbCalibrNewDate, 1, 1, Qt::AlignRight);
    entries->addWidget(meCalibrNewDate, 1, 2);
    entries->setColumnStretch(0, 1);
    entries->setColumnStretch(3, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnBeginCalibr);
    buttons->addWidget(btnCancelCalibr);
    buttons->addStretch(1);

    auto* page = new QVBoxLayout(this);
    page->addStretch(1);
    page->addWidget(lbStage);
    page->addLayout(entries);
    page->addStretch(1);
    page->addLayout(buttons);

    ShowCurrentEntry(false);
    ShowDateEntry(false);
    btnCancelCalibr->hide();

    connect(rseCalibrCur, &TExitDoubleSpinBox::Exited, this, &TCalibrationPage::CheckCalibrationCurrent);
    connect(meCalibrNewDate, &TExitLineEdit::Exited, this, &TCalibrationPage::meCalibrNewDateExit);
    connect(btnBeginCalibr, &QPushButton::clicked, this, &TCalibrationPage::btnBeginCalibrClick);
    connect(btnCancelCalibr, &QPushButton::clicked, this, &TCalibrationPage::btnCancelCalibrClick);
}

void TCalibrationPage::SetStageColor(const QColor& color) {
    QPalette p = lbStage->palette();
    p.setColor(QPalette::WindowText, color);
    lbStage->setPalette(p);
}

void TCalibrationPage::ShowCurrentEntry(bool shown) {
    lbCalibrCur->setVisible(shown);
    rseCalibrCur->setVisible(shown);
}

void TCalibrationPage::ShowDateEntry(bool shown) {
    lbCalibrNewDate->setVisible(shown);
    meCalibrNewDate->setVisible(shown);
}

// --- Controls ---

void TCalibrationPage::btnBeginCalibrClick() {
    if (!Context().Link().CanStartExchange())
        return;
    TTsLink::TOperation operation(Context().Link());
    if (Context().Diagnostics().DiagnosticsTimer->isActive()) {
        Context().MessageDlg(fieldtext::CalibrationInDiagnostics, mtError, mbOK);
        return;
    }
    CalibrationNextStep();
}

void TCalibrationPage::btnCancelCalibrClick() {
    if (!Context().Link().CanStartExchange())
        return;
    TTsLink::TOperation operation(Context().Link());
    CancelCalibration();
}

void TCalibrationPage::meCalibrNewDateExit() {
    const std::optional<QDate> date = FDateForm.Parse(meCalibrNewDate->displayText());
    if (!date)
        Context().MessageDlg(fieldtext::WrongDate, mtError, mbOK);
    Context().DeviceData().CalibrDate = date.value_or(QDate());
}

void TCalibrationPage::CheckCalibrationCurrent() {
    const int typeCode = Context().DeviceData().PLTypeCode;
    FCalibrCurrent = Microamperes(rseCalibrCur->value());
    if (const std::optional<QString> error = CurrentRangeError(FCalibrStep, typeCode, FCalibrCurrent)) {
        Context().MessageDlg(*error, mtError, mbOK);
        FCalibrCurrent = -1;
    }
}

// --- The steps ---

void TCalibrationPage::CalibrationNextStep() {
    if (!Context().IsPortOpen()) {
        Context().MessageDlg(fieldtext::NotConnected, mtInformation, mbOK);
        return;
    }
    SetStageColor(StageColor());
    TTarvo& d = Context().DeviceData();
    const int step = FCalibrStep;
    if (step != 0 && !SendCalibrationStep())
        return;
    lbStage->setText(InstructionAfter(step, d.PLTypeCode));
    switch (step) {
    case 0:
        btnBeginCalibr->setText(fieldtext::ContinueCalibration);
        btnCancelCalibr->show();
        break;
    case 4:
    case 5:
        if (const std::optional<int> nominal = NominalCurrentAfter(step, d.PLTypeCode)) {
            rseCalibrCur->setValue(*nominal / 1000.0);
            FCalibrCurrent = *nominal;
        }
        ShowCurrentEntry(true);
        break;
    case 6: {
        ShowCurrentEntry(false);
        const QDate today = QDate::currentDate();
        meCalibrNewDate->setText(FDateForm.Text(today));
        d.CalibrDate = today;
        ShowDateEntry(true);
        break;
    }
    case 7:
        Context().Diagnostics().ShowCalibrDate();
        ShowDateEntry(false);
        btnBeginCalibr->setText(fieldtext::BeginCalibration);
        btnCancelCalibr->hide();
        break;
    default:
        break;
    }
    FCalibrStep = step == DateStep ? 0 : step + 1;
}

bool TCalibrationPage::SendCalibrationStep() {
    TTarvo& d = Context().DeviceData();
    if (FCalibrStep == DateStep && !d.CalibrDate.isValid()) {
        Context().MessageDlg(fieldtext::WrongDate, mtError, mbOK);
        return false;
    }
    TExchangeHooks hooks;
    // A failed exchange ends the calibration before the link closes: nothing is cancelled then, and the
    // next press begins again with the first instruction.
    hooks.beforeBreak = [this] { FCalibrStep = 0; };
    const TExchangeResult r =
        Context().Link().RunExchange(ExchangeRow(ekCalibrationStep),
                                     tarvo_ts::CalibrationStepRequest(d.SlaveID, FCalibrStep, FCalibrCurrent, d.CalibrDate),
                                     hooks);
    if (r.outcome == eoRefused) {
        const QString text = CalibrationRefusalText(r.code);
        if (!text.isEmpty())
            Context().MessageDlg(text, mtError, mbOK);
    }
    return r.answered();
}

void TCalibrationPage::CancelCalibration() {
    ShowCurrentEntry(false);
    ShowDateEntry(false);
    SetStageColor(CancelledColor());
    lbStage->setText(fieldtext::CancelledByUser);
    btnBeginCalibr->setText(fieldtext::BeginCalibration);
    Context().Diagnostics().indCalibrDate->setIndicatorstring(QString());
    FCalibrStep = 0;
    Context().ProcessMessages();
    // The abandon request; its outcome changes nothing here.
    if (Context().IsPortOpen())
        SendCalibrationStep();
    btnCancelCalibr->hide();
}

void TCalibrationPage::ClearStage() {
    lbStage->clear();
}
