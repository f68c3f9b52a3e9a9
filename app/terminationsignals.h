#pragma once

#include <QObject>

class QSocketNotifier;

// The system's requests to end the program (SIGTERM from a shutdown or `kill`, SIGINT
// from Ctrl+C in the terminal, SIGHUP when the terminal goes away), turned into a Qt
// signal on the event loop, so the program can end as closing its window does: the
// port closed (no lock file left behind), nothing half-done. The handler itself only
// writes the signal's number into a pipe; the rest runs on the event loop. One object
// at a time; while none exists the signals have their default effect. Elsewhere than
// on Unix nothing is caught.
class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;
    Q_DISABLE_COPY(TerminationSignals)

    // The signals are caught (false: they could not be, or another object has them).
    bool catching() const { return m_notifier != nullptr; }

Q_SIGNALS:
    // One of the signals arrived (its number).
    void requested(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};
