// The link's face towards the main window: one communication thread with its queue, queuing of
// queries, the pickup of finished ones and the list of ports. Every routine runs in the main thread.
#pragma once

#include "ModbusCommThread.h"

#include <QStringList>
#include <functional>
#include <span>

// Creates the link on `portName` at `rate`; completions are posted to `form` as QueryDoneEvent.
// False (with `errmsg` set and shown in an error box) when the port cannot be opened or set up, or
// when a link already exists ("Коммуникационный поток уже существует!"). A port that fails to open for
// another reason gives a started link that is not connected and answers "Порт не подключен".
// Destroy the link when the window closes; a window destroyed first only stops the completions.
// `showErrors` false: no box of its own (the caller reports the failure).
bool CreateCommThread(QObject* form, const QString& portName, TBaudRate rate, QString& errmsg,
                      bool showErrors = true);
// Stops the thread (the transaction in progress is completed), closes the port and discards every
// query still queued or not yet taken back. Always true; harmless without a link.
bool DestroyCommThread();
// Queues a query; `data` holds the window's 257-byte buffer (nullptr: zeros). False without a link.
// `serial`, when given, receives the query's number (its completion carries it); 0 without a link.
bool SendModbusQuery(quint8 slaveAddr, quint8 funcCode, quint16 startAddr, quint16 regCount,
                     const quint8* data, quint8 calibrStep, bool isChangeSlaveAddr, quint64* serial = nullptr);

bool CommThreadConnected();
// The port in use, as passed to CreateCommThread (COM3, ttyUSB0 or a device path); "" without a link.
QString CommThreadPortName();
// The rate in use; CBR_9600 without a link.
TBaudRate CommThreadBaudRate();

// Ports that can be opened now: the system's own in ascending order, then the entries of
// TARVO_EXTRA_PORTS (paths separated by ':'). A port held by another program is not listed.
QStringList AvailableComPorts();

// The pickup of a finished query: under QueueLock, finds it among the pending queries, copies it into
// `received`, frees it. False (nothing touched) when it is not there any more, for instance after
// DestroyCommThread or for a stale event of an earlier link. Prefer the event overload.
bool TakeFinishedQuery(const QueryDoneEvent& e, TModbusCmdQuery& received);
bool TakeFinishedQuery(TModbusCmdQuery* q, TModbusCmdQuery& received);

// Number of queries waiting in the queue (read without the lock: for display only).
int QueueCount();
// "Элементов в очереди: " + QueueCount(), the text of the window's queue counter.
QString QueueCountText();
// Called by SendModbusQuery, when logging is on, with QueueCountText(): the window sets its counter.
void SetQueueCounterHandler(std::function<void(const QString&)> handler);

// The shared structures (QueueLock, QueryQueue, PendingQueries). They live as long as the program, so a
// completion event that arrives after the link is gone finds an empty list.
TQueryQueues& LinkQueues();

// Where the link publishes every transaction (the live traffic view hangs on it). Lives as long as the
// program.
traffic::TTrafficTap& LinkTrafficTap();
