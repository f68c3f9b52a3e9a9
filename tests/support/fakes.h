#pragma once

// Test doubles for the main window's outside world: a serial port in memory and
// scripted dialogs. Used by the widget tests of every folder.

#include "instrument/instrument.h"
#include "instrument/polling.h"
#include "instrument/processstarter.h"
#include "link/serialport.h"
#include "link/timesource.h"
#include "panel/mainwindow.h"
#include "tests/support/manualclock.h"
#include "tests/support/panelui.h"
#include "widgets/services.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <ostream>

// A serial port in memory. Ports listed in `openResults` open with that result;
// every other port number does not exist (8002).
class FakeSerialPort final : public SerialPort {
    Q_OBJECT
public:
    using SerialPort::SerialPort;

    int open(int portNumber) override;
    int reopen() override { return open(openPort); }
    void close() override;
    bool isOpen() const override { return m_open; }
    void write(const QByteArray &bytes) override;
    QByteArray read(qint64 maxBytes) override;
    qint64 bytesAvailable() const override { return m_input.size(); }
    QString systemName() const override;

    // Bytes arrive from the generator (raises readyRead).
    void receive(const QByteArray &bytes);
    // The adapter is unplugged.
    void unplug();

    // Everything written since the last takeWritten(), as one byte string.
    QByteArray takeWritten();
    // The written lines (without CR LF) since the last takeLines().
    QStringList takeLines();

    std::map<int, int> openResults; // port number -> error number (0 opens)
    std::vector<int> openAttempts;  // every port number open() was called with
    int openPort = 0;
    int closeCount = 0;
    std::function<void(const QByteArray &)> onWrite; // sees every write first (may throw)

private:
    bool m_open = false;
    QByteArray m_input;
    QByteArray m_written;
    QByteArray m_linesPending;
};

// Dialog answers given in advance; every question is recorded.
class ScriptedDialogs final : public Dialogs {
public:
    struct Asked {
        QString kind; // "text", "yesno", "message", "modal", "item", "open", "save"
        QString title;
        QString text;             // "open", "save": the folder or file offered first
        QStringList choices = {}; // "item": the items offered; "open", "save": the filter
    };
    // A progress window as the procedure left it.
    struct ProgressShown {
        QString title;
        int done = 0;
        int total = 0;
    };

    std::optional<QString> getText(QWidget *parent, const QString &title,
                                   const QString &prompt) override;
    bool askYesNo(QWidget *parent, const QString &title, const QString &text) override;
    void message(QWidget *parent, const QString &title, const QString &text) override;
    void showModal(QDialog &dialog) override;
    std::optional<QString> chooseItem(QWidget *parent, const QString &title, const QString &prompt,
                                      const QStringList &items) override;
    std::optional<QString> chooseFile(QWidget *parent, FileUse use, const QString &title,
                                      const QString &start, const QString &filter) override;
    std::unique_ptr<Progress> showProgress(QWidget *parent, const QString &title,
                                           const QString &text) override;
    void closeOpen() override; // the question asked (see whileAsking) answers No

    std::deque<std::optional<QString>> textAnswers; // nullopt = Cancel
    std::deque<std::optional<QString>> itemAnswers; // nullopt = Cancel
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<QString>> fileAnswers; // nullopt = Cancel
    std::vector<ProgressShown> progress;            // every progress window, in order
    // Cancel is clicked in a progress window once it shows `cancelAt` steps done.
    int cancelAt = -1;
    // What happens while the next message or Yes/No question is shown (the main window
    // goes away, ...); runs once.
    std::function<void()> whileAsking;
    // What the user does in a modal window of the program (click a button, ...).
    std::deque<std::function<void(QDialog &)>> modalActions;
    std::vector<Asked> asked;
    int closedOpen = 0;   // closeOpen() calls
    bool closing = false; // closeOpen() came while the question was open
};

// Outside programs played on the test's clock. Each start takes the next scripted
// outcome (or the default one) and records the argument list; a process "runs" for
// its time on the clock, then writes its file (if any) and exits with its code.
class FakeProcessStarter final : public ProcessStarter {
public:
    struct Outcome {
        qint64 runsMs = 1000; // how long it runs; -1: until killed
        int exitCode = 0;
        QString writes;                       // file created when it ends (not when killed)
        bool starts = true;                   // false: start() returns nullptr
        QByteArray content = ":00000001FF\n"; // what it writes there
    };
    struct Started {
        QString program;
        QStringList arguments;
        bool killed = false;
        qint64 killedAt = -1; // clock time of the kill
    };

    std::unique_ptr<StartedProcess> start(const QString &program,
                                          const QStringList &arguments) override;

    TimeSource *time = nullptr; // the clock the processes run on
    std::deque<Outcome> outcomes;
    Outcome defaultOutcome;
    std::vector<Started> started;  // every start, also those that failed to start
    std::function<void()> onStart; // runs at every start, before the program runs
};

// A line written to the port and the clock's time when it went out.
// The poll switch of a procedure run without a main window: records each switching,
// and is on until switched off.
class RecordingPolling final : public Polling {
public:
    void setPollingEnabled(bool on) override { changes.push_back(on); }
    bool pollingEnabled() const override { return changes.empty() || changes.back(); }
    void setPollingHeld(bool) override {}
    QCoro::Task<> readParams() override { co_return; }
    std::vector<bool> changes;
};

struct Timed {
    qint64 at;
    QString line;
    bool operator==(const Timed &) const = default;
};
inline void PrintTo(const Timed &t, std::ostream *os) {
    *os << t.at << ":" << t.line.toStdString();
}
// The lines alone, in order.
QStringList linesOf(const std::vector<Timed> &timed);

// Writes KVT.INI in `folder` naming COM<port>, so discovery starts there.
bool writeSettingsFile(const QString &folder, int port);

// A main window wired to fakes, with its own program folder.
struct PanelRig {
    PanelRig();
    ~PanelRig();

    // Starts the load step and lets the generator on `port` identify itself; runs
    // until the load step ended (the first poll and B, T were sent).
    void connectOn(int port = 2, const QByteArray &identity = "KVT20v2.05\r\n");
    // Advances the manual clock in steps of `step` ms.
    void advance(qint64 ms, qint64 step = 1);
    // Bytes from the generator, read and handled by the link at once.
    void reply(const QByteArray &bytes);

    QTemporaryDir folder;
    ManualClock clock;
    FakeSerialPort port;
    ScriptedDialogs dialogs;
    FakeProcessStarter processes;
    int quitCount = 0;
    QDate today{2026, 12, 7};
    QDateTime now{QDate(2026, 12, 9), QTime(14, 3, 12)};
    std::unique_ptr<Instrument> instrument;
    std::unique_ptr<MainWindow> window;
    // The Instrument's record, to set up what a generator would have reported.
    DeviceState &record();
    // The program goes away: the window first, then the Instrument, as main() ends.
    void endProgram();
};
