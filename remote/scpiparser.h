// Remote control: scripts drive the generator through the running program.
//
// remote/ is the library kvtremote (on kvtinstrument and Qt Network, no widget): the
// SCPI command parser (this header, pure code on Qt Core), the input line splitter, the
// per-client error queue and the TCP server (RemoteServer), which carries the commands
// out one at a time through the same Instrument procedures as the panel's buttons. The
// panel learns of every change through Instrument::changed, as it learns of the
// generator's replies.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One command of a line, as the parser understood it.
struct ScpiCommand {
    // The commands the program knows (the header path, whatever form it was written in).
    enum class Header {
        None,              // not understood: see error
        Identify,          // *IDN?
        ClearStatus,       // *CLS
        EventStatus,       // *ESR?
        StatusByte,        // *STB?
        OperationComplete, // *OPC?
        Wait,              // *WAI
        SavePreset,        // *SAV <n>
        RecallPreset,      // *RCL <n>
        PresetQuery,       // MEMory:PRESet? <n>
        PresetData,        // MEMory:PRESet:DATA <n>,<carrier>,<tone>,<mode>,<top>,<step>,<interval>
        Carrier,           // [SOURce:]FREQuency[:CW]
        Tone,              // [SOURce:]AM:INTernal:FREQuency
        ModulationKind,    // [SOURce:]AM:MODE
        Output,            // OUTPut[:STATe]
        SweepStop,         // [SOURce:]FREQuency:STOP
        SweepStep,         // [SOURce:]SWEep:STEP
        SweepTime,         // [SOURce:]SWEep:TIME
        Sweep,             // [SOURce:]SWEep[:STATe]
        SweepPause,        // [SOURce:]SWEep:PAUSe
        SweepPosition,     // [SOURce:]SWEep:POSition?
        Morse,             // [SOURce:]MORSe[:SEND] "<text>"
        MorseBusy,         // [SOURce:]MORSe:BUSY?
        SystemError,       // SYSTem:ERRor[:NEXT]?
        SystemConnected,   // SYSTem:CONNected?
    };

    Header header = Header::None;
    bool query = false;
    // The parameter: a number in hertz or seconds, a preset number, 1/0 for a boolean,
    // the index of a modulation kind (0 OFF .. 3 TRILl).
    double number = 0;
    QString text; // a string parameter (Morse text), quotes removed
    // MEMory:PRESet:DATA: its seven whole numbers, the preset number (1-12) first.
    QList<qint64> numbers;
    int error = 0; // nonzero: the command was not understood, nothing of it is done
};

// The SCPI syntax of the remote commands: header paths with short and long forms,
// optional nodes, ';' chains with the leading-':' root rule, the query mark,
// parameters (numbers with HZ/KHZ/MHZ or S/MS suffixes, booleans, choices, quoted
// strings). Pure: no state between lines.
class ScpiParser {
public:
    // SCPI error numbers this program reports.
    enum Error {
        SyntaxError = -102,
        DataTypeError = -104,
        ParameterNotAllowed = -108,
        MissingParameter = -109,
        UndefinedHeader = -113,
        InvalidSuffix = -131,
        StringDataError = -150,
        SettingsConflict = -221,
        DataOutOfRange = -222,
        TooMuchData = -223,
        DataStale = -230,
        HardwareError = -240,
        HardwareMissing = -241,
        DeviceSpecificError = -300,
        QueueOverflow = -350,
        InputBufferOverrun = -363,
    };
    // The standard text of an error number ("Undefined header").
    static QString errorText(int error);

    // The commands of one input line (without its LF or CR LF), in order. A command
    // that cannot be understood carries its error and ends the list: the rest of the
    // line is not read. Empty commands (";;", a trailing ';', a blank line) are skipped.
    static QList<ScpiCommand> parse(const QByteArray &line);
};
