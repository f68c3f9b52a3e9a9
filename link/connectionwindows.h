#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What start-up shows the user while it looks for the generator. Connection decides
// what to show and when; the windows themselves live with the main window (panel/),
// so the line keeps no widget.
class ConnectionWindows {
public:
    virtual ~ConnectionWindows() = default;

    // The small window that says which port is being tried, shown while the main
    // window is not; closing it during start-up ends the program.
    virtual void showSearching(const QString &text) = 0;
    virtual void hideSearching() = 0;

    // The connection-failure window ("KVT Connection"), shown modally after the last
    // port, listing the ports that exist but could not be used and why. From there
    // the firmware of a generator on one of `foundPorts` (the ports that exist) can be
    // recovered; discovery then starts again from that port.
    enum class FailureChoice { Retry, Exit };
    struct FailureAnswer {
        FailureChoice choice = FailureChoice::Exit;
        int fromPort = 0; // Retry: the recovered port to start at; 0: the first port
    };
    virtual FailureAnswer askAfterFailure(const QStringList &portProblems,
                                          const QList<int> &foundPorts) = 0;
};
