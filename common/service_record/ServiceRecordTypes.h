// What the service record keeps: the transducer a record is about, the link it was reached on, and the
// kinds and outcomes of the work done. Plain values that both programs fill from their own records.
#pragma once

#include <QDate>
#include <QList>
#include <QString>

namespace servicerecord {

// The program generation a transducer belongs to; stored as this number.
enum TGeneration : int {
    gnOlder = 1, // Tarvo_TS: type codes 77, 78
    gnNewer = 2, // Tarvo_TS_TP: type codes 113..118
};

// What tells one transducer from another. Neither generation carries a serial number, so the identity is
// the type, the transducer's own name and the sensor data the user stores in it. A confirmed sensor-data
// write moves the identity of the record along with the transducer.
struct TTransducerId {
    TGeneration generation = gnNewer;
    int typeCode = 0;
    QString fixedName;      // newer: FixedName; older: the transducer type text (PLType)
    QString sensorName;     // newer: StoredSensorName; older: the sensor type text
    qint64 sensorNumber = 0;
    QDate sensorDate;       // older only: the sensor date stored in the transducer
};

// Where the transducer answered.
struct TLink {
    QString port;   // the port's system name, as the program holds it
    int rate = 0;   // bit/s
    int address = 0;
};

struct TSubject {
    TTransducerId transducer;
    TLink link;
};

// Kinds of journal entries; stored as the codes of EventKindCode().
enum TEventKind : int {
    ekConfigRead,
    ekConfigWrite,
    ekSensorRead,   // sensor data (newer) or the information block (older) read
    ekSensorWrite,
    ekCalibration,  // one run of the calibration wizard, with its steps
    ekZeroCorrection, // "0" correction of the newer, R0 correction of the older transducer
    ekZeroReset,
    ekNsxCorrection,
    ekNsxReset,
    ekAsFound,      // check before a calibration
    ekAsLeft,       // check after a calibration
};

// How an operation ended; stored as the codes of OutcomeCode().
enum TOutcome : int {
    ocDone,        // the transducer acknowledged
    ocFailed,      // no reply, a lost link, a reply that made no sense
    ocRefused,     // the transducer answered with a refusal
    ocCancelled,   // the user stopped it
    ocRunning,     // a calibration run not ended yet
    ocInterrupted, // the program closed while the run was open
};

QString EventKindCode(TEventKind kind);
bool EventKindFromCode(const QString& code, TEventKind& kind);
QString OutcomeCode(TOutcome outcome);
bool OutcomeFromCode(const QString& code, TOutcome& outcome);

// One point of an as-found / as-left check, all in °C.
struct TCheckPoint {
    double reference = 0; // what the reference instrument shows
    double reading = 0;   // what the transducer measured
    double tolerance = 0; // allowed deviation either way
    double Difference() const { return reading - reference; }
    bool Passed() const;
};

struct TCheck {
    TEventKind kind = ekAsFound; // ekAsFound or ekAsLeft
    QList<TCheckPoint> points;
    bool Passed() const; // every point passed (and there is one)
};

// A reference instrument named on a certificate.
struct TInstrument {
    QString name;
    QString serial;
    QString certificate; // number of its own calibration certificate
    bool operator==(const TInstrument&) const = default;
};

// The most points a check takes.
constexpr int kMaxCheckPoints = 5;

} // namespace servicerecord
