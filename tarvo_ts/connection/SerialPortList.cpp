#include "SerialPortList.h"

#include <QSerialPortInfo>

QStringList ListSerialPorts() {
    QStringList ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        if (!ports.contains(info.portName()))
            ports << info.portName();
    const QString extra = qEnvironmentVariable("TARVO_EXTRA_PORTS");
    for (const QString& name : extra.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (!ports.contains(name))
            ports << name;
    return ports;
}
