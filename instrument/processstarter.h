#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// An outside program started by ProcessStarter (avrdude, for the firmware update). Its
// owner waits for finished() and can end it; destroying it ends the program if it
// still runs.
class StartedProcess : public QObject {
    Q_OBJECT
public:
    ~StartedProcess() override = default;
    virtual bool running() const = 0;
    // The exit status once it has ended normally; nullopt while it runs, when it
    // crashed or was killed, or when it could not be started after all.
    virtual std::optional<int> exitCode() const = 0;
    // Ends it at once (avrdude can spin for ever on a line that went away).
    virtual void kill() = 0;

Q_SIGNALS:
    // It has ended, by itself or by kill(); emitted once, when running() has become
    // false. A receiver must not destroy the process inside this signal.
    void finished();
};

// Starts an outside program with an argument list (never through a shell), without
// waiting for it. Returns nullptr when the program cannot be started.
class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    virtual std::unique_ptr<StartedProcess> start(const QString &program,
                                                  const QStringList &arguments) = 0;
};

// The real one, on QProcess. The program's output goes to the program's own standard
// output and error, so it never waits on a full pipe.
class QtProcessStarter final : public ProcessStarter {
public:
    std::unique_ptr<StartedProcess> start(const QString &program,
                                          const QStringList &arguments) override;
};
