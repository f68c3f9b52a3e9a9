#pragma once

#include "app/filelocations.h"
#include "instrument/instrument.h"
#include "link/serialport.h"
#include "link/timesource.h"

#include <functional>
#include <memory>

class LineTrace;
class RemoteServer;

// What main() took from the command line for either front end.
struct StartOptions {
    QString traceFile;      // empty: no trace
    quint16 remotePort = 0; // 0: no remote control
    QString remoteAddress;  // listened on besides the loopback addresses
};

// Where this program keeps its files (beside it, or the packaged program's per-user
// folders), from its own folder and the environment.
FileLocations locateProgramFiles();

// What the program with a window and the one without both build and drive: the real
// clock and serial port, the Instrument on them, the line trace and, when asked, the
// remote server. What goes wrong with the trace or the remote's extra address is said
// on the standard error; the front end decides what a failed listen means.
class InstrumentHost {
public:
    // `quit` ends the program (the Instrument's Power and Exit).
    InstrumentHost(const FileLocations &files, std::function<void()> quit);
    ~InstrumentHost();
    Q_DISABLE_COPY(InstrumentHost)

    // Traces the line (and the remote's lines) into `file`; nothing for an empty name.
    // A file that cannot be written is reported and left out: the trace is for a
    // report, and the generator can be used without it.
    void startTrace(const QString &file);
    // Remote control on `port` of the loopback addresses and on `extraAddress` when
    // given. False, with the reason in `error`, when nothing listens.
    bool startRemote(quint16 port, const QString &extraAddress, QString *error);
    // Ends the remote control and the trace while the Instrument is still whole.
    void stop();

    Instrument &instrument() { return m_instrument; }
    QtTimeSource &time() { return m_time; }
    QtSerialPort &port() { return m_port; }
    RemoteServer *remote() const { return m_remote.get(); }

private:
    QtTimeSource m_time;
    QtSerialPort m_port;
    std::unique_ptr<LineTrace> m_trace; // outlives the Instrument, whose line writes to it
    Instrument m_instrument;
    std::unique_ptr<RemoteServer> m_remote;
};
