#include "ModbusComm.h"

#include "Logging.h"
#include "MessageService.h"

#include <QSerialPort>
#include <QSerialPortInfo>
#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <memory>

namespace {

std::unique_ptr<TCommThread> CommThread;
// Detaches the thread from a window that is destroyed before the link.
QMetaObject::Connection FormGone;
std::atomic<quint64> NextSerial{1};
std::function<void(const QString&)> QueueCounterHandler;

void discardAll(TQueryQueues& qs) {
    QMutexLocker lock(&qs.QueueLock);
    // Every queued query is also pending, so the pending list frees each exactly once.
    for (auto& p : qs.PendingQueries)
        delete p.query;
    qs.PendingQueries.clear();
    qs.QueryQueue.clear();
}

// Takes the finished entry that `match` accepts; false when there is none.
template <typename Match> bool takeFinished(TModbusCmdQuery& received, Match match) {
    TQueryQueues& qs = LinkQueues();
    QMutexLocker lock(&qs.QueueLock);
    auto it = std::find_if(qs.PendingQueries.begin(), qs.PendingQueries.end(),
                           [&](const TQueryQueues::Pending& p) { return p.finished && match(p.query); });
    if (it == qs.PendingQueries.end())
        return false;
    TModbusCmdQuery* q = it->query;
    qs.PendingQueries.erase(it);
    received.Buffer = q->Buffer;
    received.SlaveAddr = q->SlaveAddr;
    received.FuncCode = q->FuncCode;
    received.StartAddr = q->StartAddr;
    received.RegCount = q->RegCount;
    received.ErrorString = q->ErrorString;
    received.AnswerReceivedTime = q->AnswerReceivedTime;
    received.IsChangeModbusSlaveAddr = q->IsChangeModbusSlaveAddr;
    received.CalibrStep = q->CalibrStep;
    received.Serial = q->Serial;
    delete q;
    return true;
}

// Natural order of port names (ttyS2 before ttyS10, COM2 before COM10).
bool portNameLess(const QString& a, const QString& b) {
    auto split = [](const QString& s) {
        int i = int(s.size());
        while (i > 0 && s[i - 1].isDigit())
            --i;
        return std::pair<QString, qulonglong>(s.left(i), s.mid(i).toULongLong());
    };
    const auto sa = split(a);
    const auto sb = split(b);
    if (sa.first != sb.first)
        return sa.first < sb.first;
    if (sa.second != sb.second)
        return sa.second < sb.second;
    return a < b;
}

bool canOpen(const QString& name) {
    QSerialPort port;
    port.setPortName(name);
    if (!port.open(QIODevice::ReadWrite))
        return false;
    port.close();
    return true;
}

} // namespace

traffic::TTrafficTap& LinkTrafficTap() {
    // Never destroyed, like the queues: the thread may still publish while the program winds down.
    static traffic::TTrafficTap* tap = new traffic::TTrafficTap;
    return *tap;
}

TQueryQueues& LinkQueues() {
    // Never destroyed: a completion event may still be on its way when the program winds down.
    static TQueryQueues* queues = new TQueryQueues;
    return *queues;
}

bool CreateCommThread(QObject* form, const QString& portName, TBaudRate rate, QString& errmsg,
                      bool showErrors) {
    errmsg.clear();
    if (CommThread) {
        if (showErrors)
            ShowErrorBox(QStringLiteral("Коммуникационный поток уже существует!"));
        return false;
    }
    discardAll(LinkQueues());
    // The switch is copied before the thread is made, so its opening lines are logged too.
    auto thread = std::make_unique<TCommThread>(form, portName, rate, LinkQueues(), errmsg, LoggingEnabled);
    if (!errmsg.isEmpty()) {
        thread.reset();
        if (showErrors)
            ShowErrorBox(errmsg);
        return false;
    }
    CommThread = std::move(thread);
    CommThread->SetTrafficTap(&LinkTrafficTap());
    if (form)
        FormGone = QObject::connect(form, &QObject::destroyed, [] {
            if (CommThread)
                CommThread->DetachForm();
        });
    CommThread->Start();
    return true;
}

bool DestroyCommThread() {
    QObject::disconnect(FormGone);
    if (CommThread) {
        CommThread->RequestStop();
        CommThread->wait();
        CommThread.reset();
    }
    discardAll(LinkQueues());
    return true;
}

bool SendModbusQuery(quint8 slaveAddr, quint8 funcCode, quint16 startAddr, quint16 regCount,
                     const quint8* data, quint8 calibrStep, bool isChangeSlaveAddr, quint64* serial) {
    if (serial)
        *serial = 0;
    if (!CommThread)
        return false;
    auto* q = new TModbusCmdQuery;
    q->SlaveAddr = slaveAddr;
    q->FuncCode = funcCode;
    q->StartAddr = startAddr;
    q->RegCount = regCount;
    q->CalibrStep = calibrStep;
    q->IsChangeModbusSlaveAddr = isChangeSlaveAddr;
    if (data)
        std::copy_n(data, TModbusCmdQuery::BufferSize, q->Buffer.begin());
    q->Serial = NextSerial.fetch_add(1);
    if (serial)
        *serial = q->Serial;
    TQueryQueues& qs = LinkQueues();
    {
        QMutexLocker lock(&qs.QueueLock);
        qs.PendingQueries.push_back({q, false});
        qs.QueryQueue.push_back(q);
    }
    if (LoggingEnabled) {
        WriteLog(QStringLiteral("отправлен запрос, элементов в очереди: ") + QString::number(QueueCount()));
        if (QueueCounterHandler)
            QueueCounterHandler(QueueCountText());
    }
    return true;
}

bool CommThreadConnected() {
    return CommThread && CommThread->Connected();
}

QString CommThreadPortName() {
    return CommThread ? CommThread->ThreadComPortName() : QString();
}

TBaudRate CommThreadBaudRate() {
    return CommThread ? CommThread->ThreadBaudRate() : CBR_9600;
}

QStringList AvailableComPorts() {
    QStringList system;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        system << info.portName();
    std::sort(system.begin(), system.end(), portNameLess);
    system.removeDuplicates();

    QStringList result;
    for (const QString& name : system)
        if (canOpen(name))
            result << name;
    const QString extra = qEnvironmentVariable("TARVO_EXTRA_PORTS");
    for (const QString& name : extra.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (!result.contains(name) && canOpen(name))
            result << name;
    return result;
}

bool TakeFinishedQuery(const QueryDoneEvent& e, TModbusCmdQuery& received) {
    return takeFinished(received,
                        [&](const TModbusCmdQuery* q) { return q == e.query && q->Serial == e.serial; });
}

bool TakeFinishedQuery(TModbusCmdQuery* q, TModbusCmdQuery& received) {
    return takeFinished(received, [&](const TModbusCmdQuery* p) { return p == q; });
}

int QueueCount() {
    TQueryQueues& qs = LinkQueues();
    QMutexLocker lock(&qs.QueueLock);
    return int(qs.QueryQueue.size());
}

QString QueueCountText() {
    return QStringLiteral("Элементов в очереди: ") + QString::number(QueueCount());
}

void SetQueueCounterHandler(std::function<void(const QString&)> handler) {
    QueueCounterHandler = std::move(handler);
}
