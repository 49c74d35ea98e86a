// The hand-off from a link's thread to the window thread: an observer that only appends to a short-lock
// list, and a drain on the window thread that hands the batch to a model. The link never waits for the
// window; when the window falls behind by more than a model's worth of frames, the oldest waiting
// exchanges are dropped and counted as skipped.
#pragma once

#include "TrafficExchange.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>
#include <mutex>

namespace traffic {

class TTrafficModel;

class TTrafficQueue : public QObject, public TTrafficObserver {
    Q_OBJECT

public:
    // The model gets the waiting exchanges at most once every `intervalMs`: an exchange after a quiet
    // spell at the next turn of the event loop, later ones gathered until the interval is over. Every
    // hand-over repaints the whole list, which is what the view costs. 0: at every turn.
    explicit TTrafficQueue(TTrafficModel* model, int intervalMs = DefaultIntervalMs, QObject* parent = nullptr);
    static constexpr int DefaultIntervalMs = 500;
    // Remove it from every tap first.
    ~TTrafficQueue() override;

    // Any thread: appends and, for the first waiting exchange, wakes the window thread.
    void ExchangeDone(const TTrafficExchange& exchange) override;

    // Window thread: hands every waiting exchange to the model now.
    void Drain();
    // Exchanges waiting (any thread).
    int Waiting() const;

private:
    void Wake();

    TTrafficModel* FModel;
    int FIntervalMs = 0;
    QTimer FBatch;
    QElapsedTimer FSinceDrain;
    mutable std::mutex FLock;
    std::deque<TTrafficExchange> FWaiting;
    std::size_t FDropped = 0; // exchanges lost to the bound, counted as their rows when drained
    bool FWakePosted = false;
};

} // namespace traffic
