// Program states of the main window and the rules that follow from them: which commands are enabled in
// which state and where a finished query is routed. Plain code, so the rules can be checked without a
// window.
#pragma once

#include <QString>
#include <cstdint>

enum TPrgState : std::uint8_t {
    PSNoDevice,     // no transducer in use
    PSSearchDevs,   // a search over addresses, baud rates and ports is running
    PSInit,         // connecting: identification and configuration are being read
    PSPausePolling, // connected, measurements not running
    PSPolling,      // connected, diagnostic polling running
    PSCalibr,       // calibration wizard running
    PSHalt,         // the window is closing
};

// "PSNoDevice" ... "PSHalt"; used in log lines.
QString PrgStateName(TPrgState state);

// True in the three connected states.
constexpr bool IsConnectedState(TPrgState s) {
    return s == PSPausePolling || s == PSPolling || s == PSCalibr;
}

// How the connect command looks.
enum class TConnectLook {
    Unchanged,  // left as it is
    Connect,    // "Подключить"
    Disconnect, // "Отключить"
};

// Enabling of the command groups of the main window in one state.
struct TControlEnabling {
    bool find = false;
    bool connect = false;
    TConnectLook connectLook = TConnectLook::Unchanged;
    // The look of the connect command and the sensor-data group follow the selected row (a valid row
    // is selected and the state asks for it).
    bool connectFollowsRow = false;
    bool sensorData = false;
    bool measure = false;
    bool calibr = false;
    bool config = false;
    bool corrections = false;
    bool devicePages = false; // the configuration, calibration and diagnostics tabs
};

// `validRowSelected`: a grid row r with 1 <= r <= number of found devices is selected.
TControlEnabling EnablingFor(TPrgState state, bool validRowSelected);

// What the selected row means for the connect command: it is the connected transducer exactly when
// the link is open, a current device exists, the row's record matches it by port, address and type
// (not by baud rate) and the state is one of the connected ones.
struct TDeviceKey {
    QString port;
    int modbusAddr = 0;
    int typeId = 0;
    bool operator==(const TDeviceKey&) const = default;
};
bool RowIsConnectedDevice(bool linkOpen, const TDeviceKey* current, const TDeviceKey& row, TPrgState state);

// Where a successful reply goes.
enum class TSuccessRoute {
    Ignore,
    SearchHit,          // search: record the transducer, go on searching
    InitIdentification, // connecting: identification read, read the configuration next
    InitConfiguration,  // connecting: configuration read, connection complete
    ConfigWritten,      // configuration written: read it back
    ConfigRead,         // configuration read: record, status and page
    SensorDataRead,     // sensor name and number read
    DiagValues,         // diagnostic values
    ZeroCorrection,     // zero correction done or reset
    NsxCorrection,      // NSX correction steps
    CalibrationStep,    // next calibration step
};
TSuccessRoute RouteSuccess(TPrgState state, int funcCode, int startAddr);
