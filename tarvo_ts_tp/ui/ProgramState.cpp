#include "ProgramState.h"

QString PrgStateName(TPrgState state) {
    switch (state) {
    case PSNoDevice:
        return QStringLiteral("PSNoDevice");
    case PSSearchDevs:
        return QStringLiteral("PSSearchDevs");
    case PSInit:
        return QStringLiteral("PSInit");
    case PSPausePolling:
        return QStringLiteral("PSPausePolling");
    case PSPolling:
        return QStringLiteral("PSPolling");
    case PSCalibr:
        return QStringLiteral("PSCalibr");
    case PSHalt:
        return QStringLiteral("PSHalt");
    }
    return QString();
}

TControlEnabling EnablingFor(TPrgState state, bool validRowSelected) {
    TControlEnabling e;
    switch (state) {
    case PSNoDevice:
        e.find = true;
        e.connect = validRowSelected;
        e.connectLook = TConnectLook::Connect;
        break;
    case PSSearchDevs:
        e.find = true; // it cancels the search
        e.connect = validRowSelected;
        e.connectFollowsRow = validRowSelected;
        // the sensor-data group stays off even when the row is the connected one
        break;
    case PSInit:
        break;
    case PSPausePolling:
        e.find = true;
        e.connect = true;
        e.connectFollowsRow = validRowSelected;
        e.measure = true;
        e.calibr = true;
        e.config = true;
        e.devicePages = true;
        break;
    case PSPolling:
        e.connectLook = TConnectLook::Disconnect;
        e.measure = true;
        e.corrections = true;
        e.devicePages = true;
        break;
    case PSCalibr:
        e.connectLook = TConnectLook::Disconnect;
        e.calibr = true;
        e.devicePages = true;
        break;
    case PSHalt:
        break;
    }
    return e;
}

bool RowIsConnectedDevice(bool linkOpen, const TDeviceKey* current, const TDeviceKey& row, TPrgState state) {
    return linkOpen && current && *current == row && IsConnectedState(state);
}

TSuccessRoute RouteSuccess(TPrgState state, int funcCode, int startAddr) {
    switch (state) {
    case PSSearchDevs:
        if (funcCode == 17)
            return TSuccessRoute::SearchHit;
        break;
    case PSInit:
        if (funcCode == 17)
            return TSuccessRoute::InitIdentification;
        if (startAddr == 49 && funcCode == 3)
            return TSuccessRoute::InitConfiguration;
        break;
    case PSPausePolling:
    case PSPolling:
        if (startAddr == 49 && funcCode == 16)
            return TSuccessRoute::ConfigWritten;
        if (startAddr == 49 && funcCode == 3)
            return TSuccessRoute::ConfigRead;
        if (startAddr == 17 && funcCode == 3)
            return TSuccessRoute::SensorDataRead;
        if (state == PSPolling) {
            if (startAddr == 33 && funcCode == 3)
                return TSuccessRoute::DiagValues;
            if (funcCode == 101)
                return TSuccessRoute::ZeroCorrection;
            if (funcCode == 102)
                return TSuccessRoute::NsxCorrection;
        }
        break;
    case PSCalibr:
        if (funcCode == 100)
            return TSuccessRoute::CalibrationStep;
        break;
    case PSNoDevice:
    case PSHalt:
        break;
    }
    return TSuccessRoute::Ignore;
}
