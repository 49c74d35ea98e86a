// The port names the COM-port and settings dialogs offer.
#pragma once

#include <QStringList>

// The serial ports of the computer as the system names them ("COM3"; "ttyS0", "ttyUSB0"), in the order
// the system reports them, then the entries of the environment variable TARVO_EXTRA_PORTS (device paths
// separated by ':', such as the simulator's pseudo-terminals) that are not listed yet.
QStringList ListSerialPorts();
