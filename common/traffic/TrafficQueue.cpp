#include "TrafficQueue.h"

#include "TrafficModel.h"

namespace traffic {

TTrafficQueue::TTrafficQueue(TTrafficModel* model, int intervalMs, QObject* parent)
    : QObject(parent), FModel(model) {
    FBatch.setSingleShot(true);
    FIntervalMs = std::max(intervalMs, 0);
    connect(&FBatch, &QTimer::timeout, this, &TTrafficQueue::Drain);
}

TTrafficQueue::~TTrafficQueue() = default;

void TTrafficQueue::ExchangeDone(const TTrafficExchange& exchange) {
    bool wake = false;
    {
        std::lock_guard lock(FLock);
        if (FModel && FWaiting.size() >= std::size_t(FModel->MaxFrames())) {
            FDropped += std::size_t(TTrafficDecoder::RowCount(FWaiting.front()));
            FWaiting.pop_front();
        }
        FWaiting.push_back(exchange);
        if (!FWakePosted) {
            FWakePosted = true;
            wake = true;
        }
    }
    if (wake)
        QMetaObject::invokeMethod(this, &TTrafficQueue::Wake, Qt::QueuedConnection);
}

void TTrafficQueue::Wake() {
    if (FBatch.isActive())
        return;
    const qint64 since = FSinceDrain.isValid() ? FSinceDrain.elapsed() : qint64(FIntervalMs);
    if (since >= FIntervalMs)
        Drain();
    else
        FBatch.start(int(FIntervalMs - since));
}

void TTrafficQueue::Drain() {
    std::deque<TTrafficExchange> batch;
    std::size_t dropped = 0;
    {
        std::lock_guard lock(FLock);
        batch.swap(FWaiting);
        dropped = FDropped;
        FDropped = 0;
        FWakePosted = false;
    }
    FSinceDrain.start();
    if (!FModel)
        return;
    FModel->AddSkipped(qint64(dropped));
    if (batch.empty())
        return;
    const std::vector<TTrafficExchange> all(std::make_move_iterator(batch.begin()),
                                            std::make_move_iterator(batch.end()));
    FModel->AddExchanges(all);
}

int TTrafficQueue::Waiting() const {
    std::lock_guard lock(FLock);
    return int(FWaiting.size());
}

} // namespace traffic
