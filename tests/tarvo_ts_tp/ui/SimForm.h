// Helpers of the page tests that run the main window against the simulator.
#pragma once

#include "SimFixture.h"
#include "TFormMain.h"

#include <QByteArray>
#include <QComboBox>
#include <QSpinBox>
#include <QTest>

namespace simform {

// Connects the form directly to the transducer at `addr` on `port` at the rate of list item `rateIndex`.
inline bool Connect(TFormMain& form, const QString& port, int rateIndex, int addr) {
    form.ComboBoxComPort->clear();
    form.ComboBoxComPort->addItem(port);
    form.ComboBoxComPort->setCurrentIndex(0);
    form.ComboBoxBaudRates->setCurrentIndex(rateIndex);
    form.JvSpinEditSlaveID->setValue(addr);
    form.ActionFind->trigger();
    return QTest::qWaitFor([&form] { return form.PrgState() == PSPausePolling; }, 5000);
}

// Every byte the bus received since it was last cleared, in order.
inline QByteArray Rx(SimFixture& sim, int bus) {
    return SimFixture::bytes(sim.received(bus));
}

inline QByteArray Hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// Nothing waits with the link or in the window.
inline bool NothingQueued() {
    TQueryQueues& q = LinkQueues();
    QMutexLocker lock(&q.QueueLock);
    return q.PendingQueries.empty();
}

} // namespace simform
