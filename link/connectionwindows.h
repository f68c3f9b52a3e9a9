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

    // The connection-failure window ("KVT Connection"), shown modally after the last
    // port, listing the ports that exist but could not be used and why. From there
    // the firmware of a generator on one of `foundPorts` (the ports that exist) can be
    // recovered; discovery then starts again from that port.
    // A port that exists but could not be used, and why.
    struct PortProblem {
        enum class Kind { Busy, PermissionDenied, Silent };
        int portNumber = 0;
        Kind kind = Kind::Silent;
        QString systemName; // the device behind it (Silent only)
        bool operator==(const PortProblem &) const = default;
    };
    enum class FailureChoice { Retry, Exit };
    struct FailureAnswer {
        FailureChoice choice = FailureChoice::Exit;
        int fromPort = 0; // Retry: the recovered port to start at; 0: the first port
    };
    virtual FailureAnswer askAfterFailure(const QList<PortProblem> &portProblems,
                                          const QList<int> &foundPorts) = 0;
};
