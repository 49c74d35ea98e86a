#include "SearchPlan.h"

#include "ModbusRtu.h"

TSearchStart PlanSearch(const TSearchControls& c) {
    TSearchStart s;
    const bool searchMode = c.allAddresses || c.allPorts || (c.allBaudRates && !c.only9600);
    auto refuse = [&s](const QString& text) {
        s.mode = TSearchStart::Refused;
        s.refusal = text;
        return s;
    };
    const bool portSelected = c.selectedPort >= 0 && c.selectedPort < c.portCount;
    const bool baudSelected = c.selectedBaud >= 0 && c.selectedBaud < c.baudCount;

    if (!searchMode) {
        if (!portSelected)
            return refuse(QStringLiteral("Не выбран СОМ-порт!"));
        if (!c.only9600 && !baudSelected)
            return refuse(QStringLiteral("Не выбрана скорость обмена по СОМ-порту!"));
        s.mode = TSearchStart::Direct;
        s.portFirst = s.portLast = c.selectedPort;
        s.baudFirst = s.baudLast = c.only9600 ? Baud9600Index : c.selectedBaud;
        s.addrFirst = s.addrLast = c.slaveId;
        s.skipOtherBaudRates = true;
        return s;
    }

    if (c.allPorts) {
        if (c.portCount <= 0)
            return refuse(QStringLiteral("Не обнаружено доступных СОМ-портов!"));
        s.portFirst = 0;
        s.portLast = c.portCount - 1;
    } else {
        if (!portSelected)
            return refuse(QStringLiteral("Не выбран СОМ-порт!"));
        s.portFirst = s.portLast = c.selectedPort;
    }
    if (c.baudCount <= 0)
        return refuse(QStringLiteral("Не указаны скорости обмена по СОМ-порту!"));
    if (c.only9600) {
        s.baudFirst = s.baudLast = Baud9600Index;
        s.skipOtherBaudRates = true;
    } else if (c.allBaudRates) {
        s.baudFirst = 0;
        s.baudLast = c.baudCount - 1;
        s.skipOtherBaudRates = false;
    } else {
        if (!baudSelected)
            return refuse(QStringLiteral("Не выбрана скорость обмена по СОМ-порту!"));
        s.baudFirst = s.baudLast = c.selectedBaud;
        s.skipOtherBaudRates = true;
    }
    if (c.allAddresses) {
        s.addrFirst = 1;
        s.addrLast = modbus::MaxSlaveAddress;
    } else {
        s.addrFirst = s.addrLast = c.slaveId;
    }
    s.mode = TSearchStart::Search;
    return s;
}

TSearchCursor::TSearchCursor(const TSearchStart& start)
    : portIndex(start.portFirst), baudIndex(start.baudFirst), addr(start.addrFirst),
      skipOtherBaudRates(start.skipOtherBaudRates), range_(start) {}

TSearchCursor::Step TSearchCursor::Advance() {
    if (addr < range_.addrLast) {
        ++addr;
        return Step::NextAddress;
    }
    if (baudIndex < range_.baudLast && !skipOtherBaudRates) {
        addr = range_.addrFirst;
        ++baudIndex;
        return Step::NextBaudRate;
    }
    if (portIndex < range_.portLast) {
        addr = range_.addrFirst;
        baudIndex = range_.baudFirst;
        skipOtherBaudRates = false;
        ++portIndex;
        return Step::NextPort;
    }
    return Step::Exhausted;
}

int TSearchCursor::Total() const {
    return (range_.portLast - range_.portFirst + 1) * (range_.baudLast - range_.baudFirst + 1) *
           (range_.addrLast - range_.addrFirst + 1);
}

void TSearchCursor::SkipPort() {
    addr = range_.addrLast;
    skipOtherBaudRates = true;
}
