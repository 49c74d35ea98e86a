// The command of the main window that waits for its reply. While it waits it takes no second press of
// itself or of any other command; a reply to a request that was given up (a cancelled calibration run,
// a closed link) counts for nothing when it comes late. Plain code: tests drive it without a window.
#pragma once

#include <QtGlobal>
#include <deque>

class TPendingCommand {
public:
    enum class TReply {
        Wanted,  // the reply the command waits for: it waits no longer
        Dropped, // the reply to a request given up: handle nothing
        Other,   // any other query (a poll, an identification): handled as usual
    };

    // A command waits for its reply.
    bool Busy() const { return FAwaited != 0; }
    // The command's request was queued as `serial`; 0 (it could not be queued) leaves nothing waiting.
    void Sent(quint64 serial);
    // What a finished query with `serial` is to the command.
    TReply Take(quint64 serial);
    // The waiting command is given up; its reply, should it still come, is dropped.
    void Abandon();

private:
    quint64 FAwaited = 0;
    // Requests given up whose replies may still come, the latest last.
    std::deque<quint64> FAbandoned;
};
