#pragma once

#include "instrument/connectionwindows.h"

#include <QObject>
#include <QPointer>
#include <functional>

class ConnectionFailureDialog;
class QLabel;
struct PanelContext;

// The windows of start-up: the search window and the connection-failure window, both
// created on first use. The search window is a top-level window of its own, since the
// main window is not shown until a generator has answered.
class StartupWindows final : public QObject, public ConnectionWindows {
    Q_OBJECT
public:
    struct Controls {
        std::function<void()> searchClosed; // the user closed the search window
        // Writes firmware to the generator on that port (the firmware-update window);
        // true when the write ended well.
        std::function<bool(int portNumber)> recoverFirmware;
    };
    StartupWindows(const PanelContext &context, Controls controls, QObject *parent = nullptr);
    ~StartupWindows() override;

    void showSearching(int portNumber) override;
    void hideSearching() override;
    FailureAnswer askAfterFailure(const SearchReport &report) override;

    // The search window, or null before the first port was tried.
    QLabel *searchWindow() const { return m_searchWindow; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void recover();

    const PanelContext &m_context;
    Controls m_controls;
    QLabel *m_searchWindow = nullptr; // "Searching for the generator: COMn"
    QPointer<ConnectionFailureDialog> m_failureDialog;
    QList<int> m_foundPorts; // offered for a recovery
    int m_recoveredPort = 0; // the port recovered while the failure window was open
};
