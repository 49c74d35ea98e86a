// The rules of the diagnostics page without a window: when a poll goes out, is repeated or gives up;
// what a poll reply shows per self-diagnostics code; what the transducer's answer to an R0 or NSX
// command means. The page keeps the state and shows what these say.
#pragma once

#include "TarvoBlocks.h"

#include <QDate>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>

namespace fieldwork {

// The outstanding poll: sent and not yet shown, and for how many poll periods it has been outstanding.
struct TPollState {
    bool PollReplyPending = false;
    int PollAttempt = 0;
};

// What one tick of the poll timer does.
struct TPollStep {
    bool showRepeat = false;         // "Повторный запрос" in the operation panel
    bool showDiagnosticsMode = false; // "Режим диагностики" in the operation panel
    bool giveUp = false;             // unanswered past RepeatNum periods: stop, no reply, close the link
    bool send() const { return !giveUp; }
};

// The diagnostics start: the first poll goes out at once.
void StartPolling(TPollState& state);
// One tick: counts the outstanding poll and says what to show and whether to send. With RepeatNum 2 a
// silent transducer gets a poll at start and one a period later, and the tick after that gives up.
TPollStep NextPoll(TPollState& state, int repeatNum);
// A poll reply was shown: the poll is answered.
void PollAnswered(TPollState& state);

// How the value indicators show a poll reply.
enum TValueShow : int {
    vsNumbers, // the temperature with one decimal and the resistance with two
    vsNoValue, // "----" on both; the record keeps its previous values
    vsCleared, // both empty (diagnostics stop)
};

// What a 15-byte poll reply shows.
struct TPollView {
    std::uint8_t code = 0;
    QString diagText;      // the self-diagnostics label
    TValueShow values = vsCleared;
    double temperature = 0; // vsNumbers
    double resistance = 0;
    // Codes 0 and 3 refresh the date of the last calibration; no value inside: an impossible date
    // ("Неверная дата", stored and shown as none).
    bool refreshDate = false;
    std::optional<QDate> date;
    bool stopDiagnostics = true; // codes other than 0 and 3
};
TPollView JudgePollReply(std::span<const std::uint8_t> reply);

// The date read after connecting: the date when 15 bytes of function 3 came (no value inside: an
// impossible date), no outer value otherwise ("Не удалось прочитать дату последней настройки.").
std::optional<std::optional<QDate>> JudgeDateReply(std::span<const std::uint8_t> reply, int length);

// Text of a value shown on an indicator, with the locale's decimal separator.
QString TemperatureText(double temperature);
QString ResistanceText(double resistance);
// The number an indicator shows (the start of the NSX entry): none for an empty or "----" indicator.
std::optional<double> ShownNumber(const QString& shown);

// The answer to an R0 command.
enum TR0Answer : int {
    r0Done,           // carried out
    r0TooFarFromZero, // refusal 12
    r0AlreadyDone,    // refusal 13: the question whether to reset it
    r0Refused,        // any other refusal
};
TR0Answer JudgeR0Reply(bool acknowledged, std::uint8_t code);

// The answer to an NSX command.
enum TNsxAnswer : int {
    nsxDone,          // carried out
    nsxAlreadyDone,   // refusal 1 or 14: the question whether to reset it
    nsxTooNearZero,   // refusal 15
    nsxTooDifferent,  // refusal 16
    nsxRefused,       // any other refusal
};
TNsxAnswer JudgeNsxReply(bool acknowledged, std::uint8_t code);
// The message of a refusal that is only shown (none for the questions and for success).
QString R0RefusalText(TR0Answer answer);
QString NsxRefusalText(TNsxAnswer answer);

// The NSX requests: begin (mode 1, value 0), apply (mode 2, the real temperature), reset (mode 1, value 1).
constexpr int NsxModeBegin = 1;
constexpr int NsxModeApply = 2;
constexpr double NsxBeginValue = 0.0;
constexpr double NsxResetValue = 0.1;

} // namespace fieldwork
