#include "tests/support/fakes.h"

#include "tests/support/instrumentaccess.h"

#include "link/link.h"
#include "tests/support/lines.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <utility>

int FakeSerialPort::open(int portNumber) {
    openAttempts.push_back(portNumber);
    if (m_open)
        return NoError;
    auto it = openResults.find(portNumber);
    const int result = it == openResults.end() ? int(InvalidPort) : it->second;
    if (result == NoError) {
        m_open = true;
        openPort = portNumber;
    }
    return result;
}

void FakeSerialPort::close() {
    if (m_open)
        ++closeCount;
    m_open = false;
    m_input.clear();
}

void FakeSerialPort::write(const QByteArray &bytes) {
    if (onWrite)
        onWrite(bytes);
    if (m_open)
        m_written += bytes;
}

QByteArray FakeSerialPort::read(qint64 maxBytes) {
    const QByteArray out = m_input.left(maxBytes);
    m_input.remove(0, out.size());
    return out;
}

QString FakeSerialPort::systemName() const {
    return QStringLiteral("/dev/fake%1").arg(openPort);
}

void FakeSerialPort::receive(const QByteArray &bytes) {
    if (!m_open)
        return;
    m_input += bytes;
    Q_EMIT readyRead();
}

void FakeSerialPort::unplug() {
    if (!m_open)
        return;
    m_open = false;
    m_input.clear();
    Q_EMIT lost();
}

QByteArray FakeSerialPort::takeWritten() {
    QByteArray out = m_written;
    m_written.clear();
    m_linesPending.clear();
    return out;
}

QStringList FakeSerialPort::takeLines() {
    return crlfLines(takeWritten());
}

std::optional<QString> ScriptedDialogs::getText(QWidget *, const QString &title,
                                                const QString &prompt) {
    asked.push_back({QStringLiteral("text"), title, prompt});
    if (textAnswers.empty())
        return std::nullopt;
    auto answer = textAnswers.front();
    textAnswers.pop_front();
    return answer;
}

namespace {
void runOnce(std::function<void()> &action) {
    if (auto run = std::exchange(action, nullptr))
        run();
}
} // namespace

void ScriptedDialogs::closeOpen() {
    closing = ++closedOpen > 0;
}

bool ScriptedDialogs::askYesNo(QWidget *, const QString &title, const QString &text) {
    asked.push_back({QStringLiteral("yesno"), title, text});
    closing = false;
    runOnce(whileAsking);
    if (closing || yesNoAnswers.empty())
        return false;
    const bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}

std::optional<QString> ScriptedDialogs::chooseItem(QWidget *, const QString &title,
                                                   const QString &prompt,
                                                   const QStringList &items) {
    asked.push_back({QStringLiteral("item"), title, prompt, items});
    if (itemAnswers.empty())
        return std::nullopt;
    auto answer = itemAnswers.front();
    itemAnswers.pop_front();
    return answer;
}

void ScriptedDialogs::message(QWidget *, const QString &title, const QString &text) {
    asked.push_back({QStringLiteral("message"), title, text});
    runOnce(whileAsking);
}

std::optional<QString> ScriptedDialogs::chooseFile(QWidget *, FileUse use, const QString &title,
                                                   const QString &start, const QString &filter) {
    asked.push_back({use == FileUse::Save ? QStringLiteral("save") : QStringLiteral("open"), title,
                     start, QStringList{filter}});
    if (fileAnswers.empty())
        return std::nullopt;
    auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

namespace {
class RecordingProgress final : public Dialogs::Progress {
public:
    RecordingProgress(ScriptedDialogs &dialogs, std::size_t index) : m_d(dialogs), m_i(index) {}
    void setValue(int done, int total) override {
        m_d.progress[m_i].done = done;
        m_d.progress[m_i].total = total;
        m_cancelled = m_cancelled || (m_d.cancelAt >= 0 && done >= m_d.cancelAt);
    }
    void setText(const QString &) override {}
    bool wasCancelled() const override { return m_cancelled; }

private:
    ScriptedDialogs &m_d;
    std::size_t m_i;
    bool m_cancelled = false;
};
} // namespace

std::unique_ptr<Dialogs::Progress> ScriptedDialogs::showProgress(QWidget *, const QString &title,
                                                                 const QString &) {
    progress.push_back({title});
    return std::make_unique<RecordingProgress>(*this, progress.size() - 1);
}

void ScriptedDialogs::showModal(QDialog &dialog) {
    asked.push_back({QStringLiteral("modal"), dialog.windowTitle(), dialog.objectName()});
    // As with a real modal window, it is shown first (its show handling runs) and the
    // question ends when it is hidden; without a scripted action the user just closes
    // it, which is no choice of any of its buttons.
    dialog.show();
    if (!modalActions.empty()) {
        auto action = std::move(modalActions.front());
        modalActions.pop_front();
        action(dialog);
    }
    dialog.hide();
}

namespace {
class FakeProcess final : public StartedProcess {
public:
    FakeProcess(TimeSource &time, FakeProcessStarter::Outcome outcome, std::size_t index,
                std::vector<FakeProcessStarter::Started> &log)
        : m_time(time), m_outcome(std::move(outcome)), m_index(index), m_log(log) {
        if (m_outcome.runsMs >= 0)
            m_timer = m_time.schedule(static_cast<int>(m_outcome.runsMs), [this] { end(); });
    }
    ~FakeProcess() override {
        if (m_timer)
            m_time.cancel(m_timer);
    }
    bool running() const override { return !m_ended; }
    std::optional<int> exitCode() const override {
        if (!m_ended || m_killed)
            return std::nullopt;
        return m_outcome.exitCode;
    }
    void kill() override {
        if (m_ended)
            return;
        m_killed = m_ended = true;
        m_log[m_index].killed = true;
        m_log[m_index].killedAt = m_time.nowMs();
        if (m_timer)
            m_time.cancel(m_timer);
        m_timer = 0;
        Q_EMIT finished();
    }

private:
    void end() {
        m_timer = 0;
        m_ended = true;
        if (!m_outcome.writes.isEmpty()) {
            QFile file(m_outcome.writes);
            if (file.open(QIODevice::WriteOnly))
                file.write(m_outcome.content);
        }
        Q_EMIT finished();
    }

    TimeSource &m_time;
    FakeProcessStarter::Outcome m_outcome;
    std::size_t m_index;
    std::vector<FakeProcessStarter::Started> &m_log;
    quint64 m_timer = 0;
    bool m_ended = false;
    bool m_killed = false;
};
} // namespace

std::unique_ptr<StartedProcess> FakeProcessStarter::start(const QString &program,
                                                          const QStringList &arguments) {
    started.push_back({program, arguments});
    if (onStart)
        onStart();
    Outcome outcome = defaultOutcome;
    if (!outcomes.empty()) {
        outcome = outcomes.front();
        outcomes.pop_front();
    }
    if (!outcome.starts || !time)
        return nullptr;
    return std::make_unique<FakeProcess>(*time, outcome, started.size() - 1, started);
}

PanelRig::PanelRig() {
    processes.time = &clock;
    Services services;
    services.port = &port;
    services.time = &clock;
    services.dialogs = &dialogs;
    services.processes = &processes;
    services.programFolder = folder.path();
    services.settingsFolder = folder.path();
    services.backupFolder = folder.path();
    services.today = [this] { return today; };
    services.now = [this] { return now; };
    services.quit = [this] { ++quitCount; };
    instrument = std::make_unique<Instrument>(port, clock, folder.path(), services.quit);
    window = std::make_unique<MainWindow>(*instrument, services);
}

PanelRig::~PanelRig() {
    endProgram();
}

void PanelRig::endProgram() {
    window.reset();
    instrument.reset();
}

DeviceState &PanelRig::record() {
    return InstrumentTestAccess::record(*instrument);
}

void PanelRig::advance(qint64 ms, qint64 step) {
    for (qint64 done = 0; done < ms; done += step)
        clock.advance(std::min(step, ms - done));
}

void PanelRig::reply(const QByteArray &bytes) {
    port.receive(bytes);
    clock.advance(0); // the link reads on the next turn
}

bool writeSettingsFile(const QString &folder, int port) {
    QFile ini(QDir(folder).filePath(QStringLiteral("KVT.INI")));
    if (!ini.open(QIODevice::WriteOnly))
        return false;
    const QByteArray text =
        QStringLiteral("COM Port=%1\r\n 0\r\nSP=TOLK\r\n 100\r\n 57600\r\n").arg(port).toLatin1();
    return ini.write(text) == text.size();
}

void PanelRig::connectOn(int portNumber, const QByteArray &identity) {
    port.openResults[portNumber] = 0;
    record().portNumber = static_cast<int16_t>(portNumber);
    writeSettingsFile(folder.path(), portNumber);
    window->start();
    clock.advance(0);
    reply(identity);
    // 1 s settle, the poll's 1 s, three 100 ms steps, then B, T with their waits.
    advance(2700, 10);
}

QStringList linesOf(const std::vector<Timed> &timed) {
    QStringList lines;
    for (const Timed &t : timed)
        lines << t.line;
    return lines;
}
