#include "TrafficExchange.h"

#include <QDateTime>
#include <algorithm>
#include <chrono>

namespace traffic {

qint64 NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

TJudgedReply OutcomeOfCheck(const modbus::ReplyCheck& check, const std::uint8_t* reply, int n) {
    if (n < 0)
        return {TOutcome::PortError};
    if (n == 0)
        return {TOutcome::NoReply};
    if (check.status == modbus::ReplyCheck::Ok)
        return {TOutcome::Ok};
    if (check.status == modbus::ReplyCheck::AddressMismatch)
        return {TOutcome::ForeignAddress};
    // The checks give their verdict as one of their own texts; an exception reply gives the text of
    // its code, and only after its CRC, address and function passed.
    if (n == 5 && (reply[1] & 0x80) && check.error == modbus::ModbusErrorText(reply[2]))
        return {TOutcome::Exception, reply[2]};
    namespace t = modbus::text;
    if (check.error == t::CrcError)
        return {TOutcome::CrcError};
    if (check.error == t::WrongFunction)
        return {TOutcome::WrongFunction};
    if (check.error == t::WrongLength)
        return {TOutcome::WrongLength};
    if (check.error == t::WrongFormat)
        return {TOutcome::WrongFormat};
    if (check.error == t::WrongCalibrStep || check.error == t::WrongNsxStep || check.error == t::WrongDataValue)
        return {TOutcome::WrongValue};
    if (check.error == t::PortNotAvailable)
        return {TOutcome::PortError};
    if (check.error == t::ReplyTimeout)
        return {TOutcome::NoReply};
    return {TOutcome::WrongFormat};
}

void TTrafficTap::AddObserver(TTrafficObserver* observer) {
    if (!observer)
        return;
    std::lock_guard lock(FLock);
    if (std::find(FObservers.begin(), FObservers.end(), observer) != FObservers.end())
        return;
    FObservers.push_back(observer);
    FCount.store(int(FObservers.size()), std::memory_order_release);
}

void TTrafficTap::RemoveObserver(TTrafficObserver* observer) {
    std::lock_guard lock(FLock);
    FObservers.erase(std::remove(FObservers.begin(), FObservers.end(), observer), FObservers.end());
    FCount.store(int(FObservers.size()), std::memory_order_release);
}

void TTrafficTap::Publish(TTrafficExchange& exchange) {
    if (!Active())
        return;
    if (exchange.anchorWallMs == 0) {
        exchange.anchorUs = NowUs();
        exchange.anchorWallMs = QDateTime::currentMSecsSinceEpoch();
    }
    std::lock_guard lock(FLock);
    for (TTrafficObserver* o : FObservers)
        o->ExchangeDone(exchange);
}

TTrafficRecorder::TTrafficRecorder(TTrafficTap* tap, TGeneration generation, const QString& port, int bitRate,
                                   std::uint8_t attempt)
    : FTap(tap && tap->Active() ? tap : nullptr) {
    if (!FTap)
        return;
    FExchange.generation = generation;
    FExchange.port = port; // shared, not copied
    FExchange.bitRate = bitRate;
    FExchange.attempt = attempt;
}

void TTrafficRecorder::Query(std::uint8_t slaveAddr, std::uint8_t funcCode) {
    if (!FTap)
        return;
    FExchange.slaveAddr = slaveAddr;
    FExchange.funcCode = funcCode;
}

void TTrafficRecorder::Discarded(const std::uint8_t* bytes, int n) {
    if (!FTap || n <= 0)
        return;
    FExchange.discarded.append(reinterpret_cast<const char*>(bytes), n);
    FExchange.discardedUs = NowUs();
}

void TTrafficRecorder::Sent(const std::uint8_t* frame, int n) {
    if (!FTap)
        return;
    FExchange.sentUs = NowUs();
    if (n > 0)
        FExchange.request = QByteArray(reinterpret_cast<const char*>(frame), n);
}

void TTrafficRecorder::ReadOn(qint64 sentUs) {
    if (FTap)
        FExchange.sentUs = sentUs;
}

void TTrafficRecorder::Piece(const std::uint8_t* bytes, int n) {
    if (!FTap || n <= 0)
        return;
    FExchange.reply.append(reinterpret_cast<const char*>(bytes), n);
    FExchange.pieces.append({int(FExchange.reply.size()), NowUs()});
}

void TTrafficRecorder::Finish(TOutcome outcome, std::uint8_t code, const QString& linkText) {
    if (!FTap || FFinished)
        return;
    FFinished = true;
    FExchange.endUs = NowUs();
    FExchange.outcome = outcome;
    FExchange.code = code;
    FExchange.linkText = linkText;
    FTap->Publish(FExchange);
}

} // namespace traffic
