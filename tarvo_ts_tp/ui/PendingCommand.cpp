#include "PendingCommand.h"

#include <algorithm>

namespace {
// More given-up requests than this cannot be on their way: the link holds few at a time.
constexpr std::size_t AbandonedKept = 32;
} // namespace

void TPendingCommand::Sent(quint64 serial) {
    if (FAwaited != 0 && FAwaited != serial)
        Abandon();
    FAwaited = serial;
}

TPendingCommand::TReply TPendingCommand::Take(quint64 serial) {
    if (serial == 0)
        return TReply::Other;
    if (serial == FAwaited) {
        FAwaited = 0;
        return TReply::Wanted;
    }
    const auto it = std::find(FAbandoned.begin(), FAbandoned.end(), serial);
    if (it != FAbandoned.end()) {
        FAbandoned.erase(it);
        return TReply::Dropped;
    }
    return TReply::Other;
}

void TPendingCommand::Abandon() {
    if (FAwaited == 0)
        return;
    FAbandoned.push_back(FAwaited);
    while (FAbandoned.size() > AbandonedKept)
        FAbandoned.pop_front();
    FAwaited = 0;
}
