#include "ScriptedPort.h"

#include <algorithm>
#include <cstring>

void TScriptedPort::ArriveAt(qint64 atMs, const QByteArray& bytes) {
    const TArrival a{std::max(atMs, FNow), bytes};
    const auto pos = std::upper_bound(FArrivals.begin(), FArrivals.end(), a.atMs,
                                      [](qint64 t, const TArrival& x) { return t < x.atMs; });
    FArrivals.insert(pos, a);
}

QList<QByteArray> TScriptedPort::Written() const {
    QList<QByteArray> frames;
    for (const TEvent& e : events)
        if (e.kind == TEvent::Write)
            frames << e.bytes;
    return frames;
}

int TScriptedPort::Count(TEvent::TKind kind) const {
    return int(std::count_if(events.begin(), events.end(), [kind](const TEvent& e) { return e.kind == kind; }));
}

void TScriptedPort::Deliver() {
    while (!FArrivals.empty() && FArrivals.front().atMs <= FNow) {
        FInput += FArrivals.front().bytes;
        FArrivals.pop_front();
    }
}

bool TScriptedPort::Open(const QString& name) {
    openedName = name;
    if (openFails)
        return false;
    FOpen = true;
    events.append({TEvent::Open, FNow, {}, 0, false, false});
    return true;
}

serialaccess::TPortAccess TScriptedPort::LastOpenFailure() const {
    serialaccess::TPortAccess a;
    if (FOpen || !openFails)
        return a;
    a.fault = openFault;
    a.port = openedName;
    if (openFault == serialaccess::pfNoRights) {
        a.device = QStringLiteral("/dev/") + openedName;
        a.user = QStringLiteral("ivan");
        a.owner = QStringLiteral("root");
        a.group = QStringLiteral("dialout");
        a.mode = QStringLiteral("crw-rw----");
        a.advice = serialaccess::raJoinGroup;
    }
    return a;
}

void TScriptedPort::Close() {
    FOpen = false;
    events.append({TEvent::Close, FNow, {}, 0, false, false});
}

void TScriptedPort::Purge(bool input, bool output) {
    Deliver();
    if (input)
        FInput.clear();
    events.append({TEvent::Purge, FNow, {}, 0, input, output});
}

int TScriptedPort::BytesWaiting() {
    if (HasFailed())
        return -1;
    Deliver();
    return int(FInput.size());
}

int TScriptedPort::Read(std::uint8_t* buf, int max) {
    if (HasFailed())
        return -1;
    Deliver();
    const int n = std::clamp(int(FInput.size()), 0, std::max(max, 0));
    if (n > 0)
        std::memcpy(buf, FInput.constData(), std::size_t(n));
    events.append({TEvent::Read, FNow, FInput.left(n), max, false, false});
    FInput.remove(0, n);
    return n;
}

int TScriptedPort::Write(const std::uint8_t* data, int n, int stallMs) {
    if (HasFailed())
        return -1;
    int taken = n;
    if (!FWriteLimits.empty()) {
        if (FWriteLimits.front() >= 0)
            taken = std::min(FWriteLimits.front(), n);
        FWriteLimits.pop_front();
    }
    events.append({TEvent::Write, FNow, QByteArray(reinterpret_cast<const char*>(data), taken), n, false, false});
    if (taken < n) {
        // A stalled line: the write gives up after its time-out; the transducer got no whole frame.
        FNow += stallMs;
        return taken;
    }
    if (!FReplies.empty()) {
        const QList<TPiece> pieces = FReplies.front();
        FReplies.pop_front();
        for (const TPiece& p : pieces)
            ArriveAt(FNow + p.delayMs, p.bytes);
    }
    return taken;
}

ISerialPort::TWait TScriptedPort::WaitForInput(int known, int timeoutMs) {
    if (HasFailed())
        return TWait::Failed;
    Deliver();
    if (FInput.size() > known)
        return TWait::Data;
    const qint64 end = FNow + std::max(timeoutMs, 0);
    if (FFailAt >= 0 && FFailAt <= end) {
        FNow = FFailAt;
        return TWait::Failed;
    }
    // Only an arrival with bytes counts as "more bytes".
    for (const TArrival& a : FArrivals) {
        if (a.atMs > end)
            break;
        if (!a.bytes.isEmpty()) {
            FNow = a.atMs;
            Deliver();
            return TWait::Data;
        }
    }
    FNow = end;
    Deliver();
    return TWait::Timeout;
}
