#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What start-up shows the user while it looks for the generator. Connection decides
// what to show and when; the windows and their texts live with the main window
// (panel/), so the line keeps no widget and no caption.
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
    };
    // The connection-failure window ("KVT Connection"), shown modally after the last
    // port. Below its fixed texts it says which ports were tried, which of them exist
    // and why each could not be used, and where Retry starts. From there the firmware
    // of a generator on one of the ports that exist can be recovered; discovery then
    // starts again from that port.
    virtual FailureAnswer askAfterFailure(const SearchReport &report) = 0;
};
