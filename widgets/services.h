#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QDialog;
class QWidget;

// The program's modal questions and messages. The real implementation uses Qt's
// dialogs (widgets/qtdialogs.h); tests script the answers and record what was asked.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A modal text-input dialog; nullopt when the user cancelled.
    virtual std::optional<QString> getText(QWidget *parent, const QString &title,
                                           const QString &prompt) = 0;
    // A Yes/No question with Yes as the default button.
    virtual bool askYesNo(QWidget *parent, const QString &title, const QString &text) = 0;
    // A message with only an OK button.
    virtual void message(QWidget *parent, const QString &title, const QString &text) = 0;
    // Shows one of the program's own windows modally until it hides itself.
    virtual void showModal(QDialog &dialog) = 0;
    // One of `items`, chosen from a list that cannot be edited; nullopt when the user
    // cancelled.
    virtual std::optional<QString> chooseItem(QWidget *parent, const QString &title,
                                              const QString &prompt, const QStringList &items) = 0;
};

// An outside program started by ProcessStarter. Its owner watches it and can end it;
// destroying it ends the program if it still runs.
class StartedProcess {
public:
    virtual ~StartedProcess() = default;
    virtual bool running() const = 0;
    // The exit status once it has ended normally; nullopt while it runs, when it
    // crashed or was killed, or when it could not be started after all.
    virtual std::optional<int> exitCode() const = 0;
    // Ends it at once (avrdude can spin for ever on a line that went away).
    virtual void kill() = 0;
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

// Everything the main window takes from the outside world, so that tests can run it
// against a fake port, a manual clock and scripted dialogs.
class SerialPort;
class TimeSource;
struct Services {
    SerialPort *port = nullptr;
    TimeSource *time = nullptr;
    Dialogs *dialogs = nullptr;
    ProcessStarter *processes = nullptr;
    QString programFolder;        // the program's own folder: avrdude is looked for there
    QString settingsFolder;       // where KVT.INI and the COM<N> links live
    QString backupFolder;         // where the firmware backups go
    std::function<QDate()> today; // today's date
    std::function<void()> quit;   // ends the program at once
};
