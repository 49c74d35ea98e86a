// The settings of Tarvo_TS: the record, reading it at start-up, writing it at closing, and the port
// rules that tie the record to a port name.
#pragma once

#include "IniFile.h"

#include <QString>
#include <QtGlobal>

struct TProgSettings {
    bool ConnectBeforeRun = false; // connect at start-up
    bool ToNum = true;             // start-up connection to the saved address
    bool ToFirst = false;          // start-up search for the first transducer that answers
    bool ToLast = false;           // start-up connection to the last address used
    bool ViewToolBar = true;
    quint8 DefaultSlaveID = 1;
    quint8 DefaultComPortNum = 1; // n of a port named COMn, else 0
    quint8 RepeatNum = 2;         // attempts of every exchange
    QString ColorShema = QStringLiteral("Standart.kvs");
    QString ProgDir; // folder of the program file, without a trailing separator
    QString ExeName; // file name of the program
    // The system name of the port in use at the last closing ("COM3", "/dev/ttyUSB0"); empty in files
    // of older versions, which knew only DefaultComPortNum.
    QString DefaultComPortName;
};

// Section and keys of the settings file.
inline constexpr char16_t SettingsSection[] = u"Defaults";

// Reads every key of section "Defaults" into `settings`, in the order of the file's table: a missing
// key or an integer that is not a number gives the key's default, numbers keep their low 8 bits.
// ProgDir and ExeName are left as they are.
void LoadSettings(const TIniFile& file, TProgSettings& settings);

// The port the program starts with: DefaultComPortName when it is not empty, else "COM" followed by
// DefaultComPortNum. Either way the port counts as set by name.
QString StartupPortName(const TProgSettings& settings);

// The "ConnectionType" text of the three flags: "toNum", "toFirst", "toLast" (a later one wins when
// more than one is set), or the empty text.
QString ConnectionTypeText(const TProgSettings& settings);

// The closing write of section "Defaults": DefaultSlaveID becomes the address in use (low 8 bits),
// DefaultComPortNum the number of the port in use (0 for a name that is not COMn) and
// DefaultComPortName its name; then every key is written. The other lines of the file stay as they
// are; the caller adds the indicator styles and saves the file once.
void SaveSettings(TIniFile& file, TProgSettings& settings, int slaveIdInUse, const QString& portNameInUse);

// --- Port numbers ---

enum class TPortNumberError {
    None,
    NotANumber, // a COM name whose number part is no integer ("COMx")
};

struct TPortNumber {
    int Number = 0; // the port number of a COMn name; 0 for any other name
    TPortNumberError Error = TPortNumberError::None;
};

// The port number of a name. For a name that starts with "COM" (any case): the characters after "COM"
// up to a colon, or to the end when there is no colon or that part is no number. A name of another
// form (a device path, "ttyUSB0") is no error: it is used as it is and its number is 0.
TPortNumber ParsePortNumber(const QString& text);

// The program's general error text for a name whose number part is no integer.
QString PortNumberErrorText(const QString& text);

// The program's general error text for an entry that is no integer.
QString IntegerErrorText(const QString& text);

// The number DefaultComPortNum keeps for a port name: n for COMn (low 8 bits), else 0.
quint8 SavedPortNumber(const QString& portName);
