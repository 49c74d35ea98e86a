// How the search controls turn into a search or a direct connection, and how a search steps on:
// addresses innermost, then baud rates, then ports. Plain code; the window does the talking.
#pragma once

#include <QString>

// The search controls as the user left them. Indices are item indices of the port and baud-rate lists,
// -1 when no entry is selected.
struct TSearchControls {
    bool allAddresses = false;
    bool allPorts = false;
    bool allBaudRates = false;
    bool only9600 = false;
    int portCount = 0;
    int selectedPort = -1;
    int baudCount = 0;
    int selectedBaud = -1;
    int slaveId = 1;
};

// Index of 9600 bit/s in the baud-rate list.
constexpr int Baud9600Index = 3;

struct TSearchStart {
    enum Mode { Refused, Direct, Search };
    Mode mode = Refused;
    QString refusal; // text of the error box when refused
    // Direct mode uses the first entry of each range.
    int portFirst = 0, portLast = 0;
    int baudFirst = 0, baudLast = 0;
    int addrFirst = 1, addrLast = 1;
    bool skipOtherBaudRates = false;
};

// Search mode when any "all" option applies ("all baud rates" counts only without "only 9600"),
// otherwise a direct connection; each refusal carries the box text.
TSearchStart PlanSearch(const TSearchControls& c);

// Position of a running search.
class TSearchCursor {
public:
    enum class Step {
        NextAddress,  // same port and rate, next address
        NextBaudRate, // same port, next rate: the link must be reopened
        NextPort,     // next port from its first rate: the link must be reopened
        Exhausted,
    };

    TSearchCursor() = default;
    explicit TSearchCursor(const TSearchStart& start);

    Step Advance();
    // Gives up the rest of the current port (it cannot be opened): the next Advance moves to the next
    // port or ends the search.
    void SkipPort();
    // Number of identification requests of the whole range (the progress bar's maximum).
    int Total() const;

    int portIndex = 0;
    int baudIndex = 0;
    int addr = 1;
    // Set once a transducer answered on the current port (or when only one rate was asked for):
    // the remaining addresses are tried at this rate, no other rate on this port.
    bool skipOtherBaudRates = false;

private:
    TSearchStart range_;
};
