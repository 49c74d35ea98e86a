#include "TDiagnosticPage.h"

#include "Configuration.h"
#include "FieldworkTexts.h"
#include "IconTable.h"
#include "LcdIndicator.h"
#include "LinkTexts.h"
#include "PageContext.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace fieldwork;

namespace {

// The pause after an outstanding poll reply was consumed, before a command goes out.
constexpr int ConsumePauseMs = 10;
// What the consumption of an outstanding poll reply reads at most.
constexpr int ConsumeReadMax = 100;

} // namespace

TDiagnosticPage::TDiagnosticPage(TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("tsDiagnostic"), QStringLiteral("Диагностика "), QString(), parent) {
    DiagnosticsTimer = new QTimer(this);
    DiagnosticsTimer->setObjectName(QStringLiteral("DiagnosticsTimer"));
    DiagnosticsTimer->setInterval(1000);
    connect(DiagnosticsTimer, &QTimer::timeout, this, &TDiagnosticPage::PollDiagnostics);

    auto indicator = [this](const char* name, TLcdIndicator::TLcdIndicatorKind kind, int cells) {
        auto* ind = new TLcdIndicator(this);
        ind->setObjectName(QLatin1String(name));
        ind->setSignNumber(cells);
        ind->setIndicatorKind(kind);
        return ind;
    };
    indT = indicator("indT", TLcdIndicator::ik7segment, 5);
    indR = indicator("indR", TLcdIndicator::ik7segment, 5);
    // A date takes ten characters.
    indCalibrDate = indicator("indCalibrDate", TLcdIndicator::ik5x7matrix, 10);
    CreateWidgets();
}

void TDiagnosticPage::CreateWidgets() {
    auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    btnBeginDiagnostics = button("btnBeginDiagnostics", fieldtext::BeginCaptionInitial);
    btnBeginDiagnostics->setIcon(TarvoIcon(img::StartMeasure));
    btnBeginDiagnostics->setProperty("imageIndex", img::StartMeasure);
    btnCorrR0 = button("btnCorrR0", QStringLiteral("Корректировка R0"));
    btnCorrTarvo = button("btnCorrTarvo", QStringLiteral("Корректировка НСХ"));

    for (TLcdIndicator* ind : {indT, indR}) {
        ind->setIndicatorWidth(170);
        ind->setIndicatorHeight(56);
        ind->setMinimumSize(170, 56);
    }
    indCalibrDate->setIndicatorWidth(200);
    indCalibrDate->setIndicatorHeight(30);
    indCalibrDate->setMinimumSize(200, 30);

    auto* values = new QGridLayout;
    values->addWidget(label("lbT", QStringLiteral("T")), 0, 0, Qt::AlignRight);
    values->addWidget(indT, 0, 1);
    values->addWidget(label("lbTUnit", QStringLiteral("°C")), 0, 2);
    values->addWidget(label("lbR", QStringLiteral("R")), 1, 0, Qt::AlignRight);
    values->addWidget(indR, 1, 1);
    values->addWidget(label("lbRUnit", QStringLiteral("Ом")), 1, 2);
    values->setColumnStretch(3, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btnBeginDiagnostics);
    buttons->addWidget(btnCorrR0);
    buttons->addWidget(btnCorrTarvo);
    buttons->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addLayout(values, 1);
    top->addLayout(buttons);

    auto* diagPanel = new QGroupBox(QStringLiteral("Состояние самодиагностики: "), this);
    diagPanel->setObjectName(QStringLiteral("pnDiagInf"));
    lbDiagInf = new QLabel(diagPanel);
    lbDiagInf->setObjectName(QStringLiteral("lbDiagInf"));
    lbDiagInf->setWordWrap(true);
    lbDiagInf->setMinimumHeight(lbDiagInf->fontMetrics().lineSpacing() * 2 + 4);
    (new QVBoxLayout(diagPanel))->addWidget(lbDiagInf);

    auto* datePanel = new QGroupBox(QStringLiteral("Дата настройки: "), this);
    datePanel->setObjectName(QStringLiteral("pnCalibrDate"));
    auto* dateBox = new QHBoxLayout(datePanel);
    indCalibrDate->setParent(datePanel);
    dateBox->addWidget(indCalibrDate);
    dateBox->addStretch(1);

    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(diagPanel);
    page->addWidget(datePanel);
    page->addStretch(1);

    connect(btnBeginDiagnostics, &QPushButton::clicked, this, &TDiagnosticPage::btnBeginDiagnosticsClick);
    connect(btnCorrR0, &QPushButton::clicked, this, &TDiagnosticPage::btnCorrR0Click);
    connect(btnCorrTarvo, &QPushButton::clicked, this, &TDiagnosticPage::btnCorrTarvoClick);
}

void TDiagnosticPage::SetButtonImage(int image, const QString& caption) {
    btnBeginDiagnostics->setIcon(TarvoIcon(image));
    btnBeginDiagnostics->setProperty("imageIndex", image);
    btnBeginDiagnostics->setText(caption);
}

// --- Buttons ---

void TDiagnosticPage::btnBeginDiagnosticsClick() {
    if (!Context().Link().CanStartExchange())
        return;
    TTsLink::TOperation operation(Context().Link());
    if (FDiagnosticsRunning)
        StopDiagnostics();
    else
        StartDiagnostics();
}

void TDiagnosticPage::btnCorrR0Click() {
    if (!Context().Link().CanStartExchange())
        return;
    TTsLink::TOperation operation(Context().Link());
    CorrectR0(true);
}

void TDiagnosticPage::btnCorrTarvoClick() {
    if (!Context().Link().CanStartExchange())
        return;
    TTsLink::TOperation operation(Context().Link());
    CorrectNSX();
}

// --- The poll ---

void TDiagnosticPage::StartDiagnostics() {
    if (!Context().IsPortOpen()) {
        Context().MessageDlg(fieldtext::NotConnected, mtInformation, mbOK);
        return;
    }
    FDiagnosticsRunning = true;
    SetButtonImage(fieldtext::RunningImage, fieldtext::EndCaption);
    Context().SetOperationText(fieldtext::DiagnosticsMode);
    Context().ProcessMessages();
    // The window's events may have closed the link meanwhile (which stops diagnostics).
    if (!FDiagnosticsRunning)
        return;
    DiagnosticsTimer->start();
    StartPolling(FPoll);
    PollDiagnostics();
}

void TDiagnosticPage::PollDiagnostics() {
    TTsLink& link = Context().Link();
    // A tick handled inside another exchange (or a message it shows) is skipped.
    if (!FDiagnosticsRunning || !link.CanStartExchange())
        return;
    TTsLink::TOperation operation(link);
    const TPollStep step = NextPoll(FPoll, Context().Settings().RepeatNum);
    if (step.showRepeat)
        Context().SetOperationText(linktext::RepeatRequest);
    if (step.giveUp) {
        StopDiagnostics();
        Context().MessageDlg(fieldtext::PollNoReply, mtError, mbOK);
        link.BreakConnection();
        return;
    }
    if (step.showDiagnosticsMode)
        Context().SetOperationText(fieldtext::DiagnosticsMode);
    if (link.SendOnce(tarvo_ts::MeasurementRequest(Context().DeviceData().SlaveID)) != eoAnswered) {
        StopDiagnostics();
        Context().MessageDlg(fieldtext::PollNoLink, mtError, mbOK);
        link.BreakConnection();
        return;
    }
    link.SetReceiveDataBound(true);
}

void TDiagnosticPage::ShowPollReply(std::span<const std::uint8_t> reply) {
    if (!FPoll.PollReplyPending)
        return;
    const TPollView view = JudgePollReply(reply);
    if (view.stopDiagnostics) {
        StopDiagnostics();
        lbDiagInf->setText(view.diagText);
        PollAnswered(FPoll);
        return;
    }
    lbDiagInf->setText(view.diagText);
    TTarvo& d = Context().DeviceData();
    if (view.values == vsNumbers) {
        d.Temperature = view.temperature;
        d.Resistance = view.resistance;
        indT->setIndicatorstring(TemperatureText(view.temperature));
        indR->setIndicatorstring(ResistanceText(view.resistance));
    } else {
        indT->setIndicatorstring(fieldtext::NoValue);
        indR->setIndicatorstring(fieldtext::NoValue);
    }
    // Answered before the date's message can show: a tick inside it does not count this poll again.
    PollAnswered(FPoll);
    TakeCalibrDate(view.date);
}

void TDiagnosticPage::StopDiagnostics() {
    DiagnosticsTimer->stop();
    Context().Link().SetReceiveDataBound(false);
    FDiagnosticsRunning = false;
    FPoll.PollReplyPending = false;
    SetButtonImage(fieldtext::StoppedImage, fieldtext::BeginCaption);
    lbDiagInf->clear();
    Context().SetOperationText(QString());
    indT->setIndicatorstring(QString());
    indR->setIndicatorstring(QString());
    Context().ProcessMessages();
}

void TDiagnosticPage::TakeCalibrDate(const std::optional<QDate>& date) {
    if (!date)
        Context().MessageDlg(fieldtext::BadDate, mtError, mbOK);
    Context().DeviceData().CalibrDate = date.value_or(QDate());
    ShowCalibrDate();
}

void TDiagnosticPage::ShowCalibrDate() {
    const QDate date = Context().DeviceData().CalibrDate;
    indCalibrDate->setIndicatorstring(date.isValid() ? TDateForm::ForLocale(QLocale()).Text(date) : QString());
}

void TDiagnosticPage::ReadCalibrationDate() {
    TTsLink& link = Context().Link();
    // A configuration read that closed the link (an unsupported type) leaves nothing to read.
    if (!link.IsPortOpen() || !link.CanStartExchange())
        return;
    TTsLink::TOperation operation(link);
    if (link.SendOnce(tarvo_ts::MeasurementRequest(Context().DeviceData().SlaveID)) != eoAnswered) {
        Context().MessageDlg(fieldtext::PollNoLink, mtError, mbOK);
        link.BreakConnection();
        return;
    }
    TExchangeBuffer reply{};
    const int n = link.ReceiveOnce(reply, tarvo_ts::MeasReplyLength, tarvo_ts::MeasReplyLength);
    const auto date = JudgeDateReply(std::span<const std::uint8_t>(reply.data(), reply.size()), n);
    if (!date) {
        Context().MessageDlg(fieldtext::DateNotRead, mtError, mbOK);
        return;
    }
    TakeCalibrDate(*date);
}

void TDiagnosticPage::ClearDiagInfo() {
    lbDiagInf->clear();
}

void TDiagnosticPage::ClearIndicators() {
    for (TLcdIndicator* ind : {indT, indR, indCalibrDate})
        ind->setIndicatorstring(QString());
}

// --- Corrections ---

bool TDiagnosticPage::BeginCorrection() {
    if (!Context().IsPortOpen()) {
        Context().MessageDlg(fieldtext::NotConnected, mtInformation, mbOK);
        return false;
    }
    if (!FDiagnosticsRunning) {
        Context().MessageDlg(fieldtext::StartDiagnosticsFirst, mtInformation, mbOK);
        return false;
    }
    Context().SetOperationText(linktext::WritingData);
    Context().ProcessMessages();
    DiagnosticsTimer->stop();
    ConsumePendingPollReply();
    // The reply consumed stopped diagnostics (a self-diagnostics fault), or the window's events closed
    // the link: the correction sends nothing and the page shows what that reply said.
    return FDiagnosticsRunning && Context().IsPortOpen();
}

void TDiagnosticPage::ConsumePendingPollReply() {
    if (!FPoll.PollReplyPending)
        return;
    TTsLink& link = Context().Link();
    TExchangeBuffer buffer{};
    const int n = link.Driver().ReadInput(buffer.data(), ConsumeReadMax);
    link.ReceivePollReply(buffer.data(), n);
    link.Driver().WaitForInQueue(ExchangeBufferSize + 1, ConsumePauseMs);
    FPoll.PollReplyPending = false;
}

void TDiagnosticPage::ResumePolling() {
    if (!FDiagnosticsRunning || !Context().IsPortOpen())
        return;
    DiagnosticsTimer->start();
    Context().SetOperationText(fieldtext::DiagnosticsMode);
    Context().ProcessMessages();
}

TDiagnosticPage::TCommandEnd TDiagnosticPage::EndOf(int outcome) const {
    switch (outcome) {
    case eoAnswered:
        return ceDone;
    case eoNoReply:
    case eoNoLink:
        return ceLinkFailed;
    default:
        return ceNotDone;
    }
}

TDiagnosticPage::TCommandEnd TDiagnosticPage::CorrectR0(bool perform) {
    if (!BeginCorrection())
        return ceNotDone;
    const TExchangeResult r = Context().Link().RunExchange(
        ExchangeRow(ekR0Correction), tarvo_ts::R0CorrectionRequest(Context().DeviceData().SlaveID, perform));
    TCommandEnd end = EndOf(r.outcome);
    if (end == ceLinkFailed)
        return end;
    if (r.outcome == eoAnswered || r.outcome == eoRefused) {
        const TR0Answer answer = JudgeR0Reply(r.outcome == eoAnswered, r.code);
        if (answer == r0Done) {
            lbDiagInf->setText(fieldtext::Done);
        } else if (answer == r0AlreadyDone) {
            if (Context().MessageDlg(fieldtext::R0AlreadyDone, mtError, mbYes | mbNo) == mrYes) {
                lbDiagInf->setText(fieldtext::R0Resetting);
                const TCommandEnd reset = CorrectR0(false);
                if (reset == ceLinkFailed)
                    return reset;
                // Only a reset the transducer carried out is reported as made.
                if (reset == ceDone)
                    lbDiagInf->setText(fieldtext::R0Reset);
            }
        } else {
            Context().MessageDlg(R0RefusalText(answer), mtError, mbOK);
        }
    }
    ResumePolling();
    return end;
}

void TDiagnosticPage::CorrectNSX() {
    if (!BeginCorrection())
        return;
    TCommandEnd end = SendNSXCommand(NsxModeBegin, NsxBeginValue);
    if (end == ceLinkFailed)
        return;
    if (end == ceDone) {
        const double initial = ShownNumber(indT->Indicatorstring()).value_or(0.0);
        double value = initial;
        if (Context().EnterValue(fieldtext::NsxPrompt, value, initial) == mrYes) {
            Context().ProcessMessages();
            if (!Context().IsPortOpen())
                return;
            end = SendNSXCommand(NsxModeApply, value);
            if (end == ceLinkFailed)
                return;
            if (end == ceDone)
                lbDiagInf->setText(fieldtext::Done);
        }
    }
    ResumePolling();
}

TDiagnosticPage::TCommandEnd TDiagnosticPage::SendNSXCommand(int mode, double temperature) {
    const TExchangeResult r =
        Context().Link().RunExchange(ExchangeRow(ekNsxCorrection),
                                     tarvo_ts::NsxCorrectionRequest(Context().DeviceData().SlaveID, mode, temperature));
    const TCommandEnd end = EndOf(r.outcome);
    if (r.outcome != eoRefused)
        return end;
    const TNsxAnswer answer = JudgeNsxReply(false, r.code);
    if (answer == nsxAlreadyDone) {
        if (Context().MessageDlg(fieldtext::NsxAlreadyDone, mtError, mbYes | mbNo) == mrYes) {
            lbDiagInf->setText(fieldtext::NsxResetting);
            const TCommandEnd reset = SendNSXCommand(NsxModeBegin, NsxResetValue);
            if (reset == ceLinkFailed)
                return reset;
            if (reset == ceDone)
                lbDiagInf->setText(fieldtext::NsxReset);
        }
    } else {
        Context().MessageDlg(NsxRefusalText(answer), mtError, mbOK);
    }
    return ceNotDone;
}
