#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

struct DeviceState;

// What start-up shows the user while it looks for the generator. Connection decides
// what to show and when; the windows live with the main window (panel/), so the line
// keeps no widget and no caption. The program without a window writes the same to its
// log instead (ConnectionLog).
class ConnectionWindows {
public:
    virtual ~ConnectionWindows() = default;

    // The small window that says which port is being tried, shown while the main
    // window is not; closing it during start-up ends the program.
    virtual void showSearching(int portNumber) = 0;
    virtual void hideSearching() = 0;

    // A port that exists but could not be used, and why.
    struct PortProblem {
        enum class Kind { Busy, PermissionDenied, CannotOpen, Silent };
        int portNumber = 0;
        Kind kind = Kind::Silent;
        QString systemName; // the device behind it (Silent only)
        int error = 0;      // the open's error number (CannotOpen only)
        bool operator==(const PortProblem &) const = default;
    };
    // What one pass of discovery tried before it gave up: the numbers from firstPort
    // to lastPort, of which foundPorts exist (in the order tried) and portProblems say
    // why each of them could not be used.
    struct SearchReport {
        int firstPort = 0;
        int lastPort = 0;
        bool fromSavedPort = false; // the pass started at the port saved in KVT.INI
        int retryPort = 0;          // where Retry starts the next pass
        QList<PortProblem> portProblems;
        QList<int> foundPorts;
    };
    enum class FailureChoice { Retry, Exit };
    struct FailureAnswer {
        FailureChoice choice = FailureChoice::Exit;
        int fromPort = 0; // Retry: the recovered port to start at; 0: the first port
        int pauseMs = 0;  // Retry: how long discovery waits before the next pass
    };
    // The connection-failure window ("KVT Connection"), shown modally after the last
    // port. Below its fixed texts it says which ports were tried, which of them exist
    // and why each could not be used, and where Retry starts. From there the firmware
    // of a generator on one of the ports that exist can be recovered; discovery then
    // starts again from that port.
    virtual FailureAnswer askAfterFailure(const SearchReport &report) = 0;

    // What a log says besides; the windows show it on the panel and ignore these.
    // A port that exists was tried: `problem` says why it cannot be used, or is empty
    // when it opened and the generator's identity line is awaited on `systemName`.
    virtual void portTried(int portNumber, const QString &systemName,
                           const std::optional<PortProblem> &problem) {
        Q_UNUSED(portNumber)
        Q_UNUSED(systemName)
        Q_UNUSED(problem)
    }
    // The generator answered and its first values were read: at start-up, and again
    // after its line was lost.
    virtual void generatorConnected(const DeviceState &state, const QString &systemName) {
        Q_UNUSED(state)
        Q_UNUSED(systemName)
    }
    // The line to the generator found before was lost; its port is tried again.
    virtual void lineLost(int portNumber, const QString &systemName) {
        Q_UNUSED(portNumber)
        Q_UNUSED(systemName)
    }
};
