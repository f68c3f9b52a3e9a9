#include "instrument/connection.h"

#include "instrument/polling.h"
#include "link/commands.h"
#include "link/devicestate.h"
#include "link/link.h"
#include "link/procedure.h"
#include "link/serialport.h"
#include "link/timesource.h"
#include "link/waits.h"

#include <QPointer>

#include <limits>

namespace {
constexpr int FirstPort = 1;
constexpr int LastPort = 64;
constexpr int FirstRetryPort = 2;
constexpr int PortWaitTicks = 5; // seconds counted on a port before the next one

// Moves discovery to the next port number. The number is a 16-bit field and never
// wraps: the largest one has no next port (false).
bool nextPort(int16_t &portNumber) {
    if (portNumber == std::numeric_limits<int16_t>::max())
        return false;
    ++portNumber;
    return true;
}
} // namespace

Connection::Connection(Context context, QObject *parent)
    : QObject(parent), m_context(std::move(context)),
      m_scanWaits(std::make_unique<WaitSet>(m_context.time)),
      m_retryWaits(std::make_unique<WaitSet>(m_context.time)),
      m_scanTimer(std::make_unique<Ticker>(m_context.time, 1000, [this] { scanTick(); })) {
    connect(&m_context.link, &Link::replyHandled, this, &Connection::onReply);
    connect(&m_context.link, &Link::portLost, this, &Connection::onPortLost);
    m_scanTimer->setEnabled(true);
}

Connection::~Connection() {
    m_ending = true;
    m_scanWaits->cancelAll();
    m_retryWaits->cancelAll();
    m_scanTimer.reset();
}

QCoro::Task<bool> Connection::connectGenerator() {
    // The output counts as on until the generator reports otherwise.
    m_context.state.outputOn = 1;
    m_context.state.connected = false;
    const bool connected = co_await discoverPort();
    if (!connected)
        co_return false;
    m_found = true;
    co_await queryAndPoll();
    if (m_windows) {
        m_windows->hideSearching();
        if (m_context.state.connected)
            m_windows->generatorConnected(m_context.state, m_context.link.port().systemName());
    }
    // Connected even when the line went away meanwhile: the window is shown and the
    // port is tried again (reconnect).
    co_return true;
}

QCoro::Task<> Connection::queryAndPoll() {
    DeviceState &state = m_context.state;
    Link &link = m_context.link;
    co_await link.delay(1000);
    co_await m_context.polling.readParams();
    co_await link.delay(100);
    link.sendCommand(Commands::serialNumberQuery());
    co_await link.delay(100);
    link.sendCommand(Commands::productionDateQuery());
    co_await link.delay(100);
    // A line lost during the queries leaves the poll off; its reconnection starts it.
    if (state.connected)
        m_context.polling.setPollingEnabled(true);
}

QCoro::Task<bool> Connection::awaitIdentity() {
    // The scan's ticks and the identity line wake the scan's waits; the port's time is
    // counted in ticks.
    co_await m_context.link.awaitIdentity(*m_scanWaits, -1,
                                          [this] { return m_scanTicks > PortWaitTicks; });
    co_return m_context.state.connected;
}

void Connection::onPortLost() {
    // The generator is no longer connected: the poll stops, and once the generator
    // had been found the same port is tried again. (A loss during discovery is the
    // port's silence there: discovery moves on by itself.)
    m_context.state.connected = false;
    m_context.polling.setPollingEnabled(false);
    if (!m_found || m_ending || m_reconnecting)
        return;
    if (m_windows)
        m_windows->lineLost(m_context.state.portNumber, m_context.link.port().systemName());
    runProcedure(reconnect(), m_context.reportFailure);
}

QCoro::Task<> Connection::reconnect() {
    // Only the device the generator was found on is tried, by its system name: the
    // numbering of the system's ports may move while an adapter is away, and another
    // port is never opened behind the user's back. Cancelled waits (the program is
    // ending) end this by exception without touching anything.
    DeviceState &state = m_context.state;
    Link &link = m_context.link;
    m_reconnecting = true;
    while (!state.connected) {
        co_await m_retryWaits->wait(RetryMs);
        if (m_ending)
            co_return;
        if (state.connected)
            break; // the port was opened again meanwhile and the generator answered
        if (link.isOpen() || link.handedOver() || link.reopenPort() != 0)
            continue; // the firmware uploader has it, or it is still gone
        m_scanTicks = 0;
        const quint64 opening = link.opens();
        const bool answered = co_await awaitIdentity();
        // A port that the firmware update handed over and took back meanwhile is the
        // update's: it is not closed under it.
        if (!answered && !m_ending && link.opens() == opening)
            link.closePort();
    }
    m_reconnecting = false;
    co_await queryAndPoll();
    if (m_windows && state.connected)
        m_windows->generatorConnected(state, link.port().systemName());
}

QCoro::Task<bool> Connection::discoverPort() {
    DeviceState &state = m_context.state;
    Link &link = m_context.link;
    m_scanTicks = 0;
    // A saved number below the first port (0 or negative, from an edited file) starts
    // at the first port instead of walking up through numbers no port has.
    if (state.portNumber < FirstPort)
        state.portNumber = FirstPort;
    m_pass = {};
    m_pass.firstPort = state.portNumber;
    m_pass.fromSavedPort = true;
    bool noNextPort = false;
    for (;;) {
        m_pass.lastPort = state.portNumber;
        if (m_windows)
            m_windows->showSearching(state.portNumber);
        // A silent port at the largest number has no next one to try: that counts as a
        // port that does not exist, which brings the failure window.
        const int error = noNextPort ? int{SerialPort::InvalidPort} : link.openPort();
        noNextPort = false;
        if (error != 0) {
            // 8002: no such port. Any other error (8015, a busy port, one we may not open)
            // is a port that exists: skipped the same way, but remembered so the failure
            // window can say why.
            using Problem = ConnectionWindows::PortProblem;
            if (error != SerialPort::InvalidPort) {
                m_pass.foundPorts << state.portNumber;
                const Problem::Kind kind = error == SerialPort::PortBusy ? Problem::Kind::Busy
                                           : error == SerialPort::PermissionDenied
                                               ? Problem::Kind::PermissionDenied
                                               : Problem::Kind::CannotOpen;
                m_pass.portProblems << Problem{state.portNumber, kind, {}, error};
                if (m_windows)
                    m_windows->portTried(state.portNumber, {}, m_pass.portProblems.last());
            }
            if (!nextPort(state.portNumber) || state.portNumber > LastPort) {
                const QPointer<Connection> self(this);
                m_pass.retryPort = FirstRetryPort;
                const ConnectionWindows::FailureAnswer answer =
                    m_windows ? m_windows->askAfterFailure(m_pass)
                              : ConnectionWindows::FailureAnswer{};
                if (!self || m_ending)
                    co_return false; // the program ended while the window was open
                if (answer.choice == ConnectionWindows::FailureChoice::Exit) {
                    endProgram();
                    co_return false;
                }
                // Without a window to wait for the user, the next pass waits its pause
                // here; the program ending meanwhile cancels it.
                if (answer.pauseMs > 0) {
                    co_await m_retryWaits->wait(answer.pauseMs);
                    if (m_ending)
                        co_return false;
                }
                // After a recovery the generator is looked for where it was written.
                state.portNumber =
                    static_cast<int16_t>(answer.fromPort > 0 ? answer.fromPort : FirstRetryPort);
                m_pass = {};
                m_pass.firstPort = state.portNumber;
                // The seconds counted while the window was open (a recovery takes about
                // a minute) belong to no port: the first port that opens gets its
                // full wait, or a generator plugged in meanwhile would be given up.
                m_scanTicks = 0;
            }
            // Every step of a pass over missing ports yields to the event loop, so a
            // pass never holds the window.
            co_await m_scanWaits->wait(0);
            continue;
        }

        if (m_windows)
            m_windows->portTried(state.portNumber, link.port().systemName(), std::nullopt);
        const bool answered = co_await awaitIdentity();
        if (answered) {
            if (m_windows)
                m_windows->hideSearching();
            co_return true;
        }
        m_pass.foundPorts << state.portNumber;
        m_pass.portProblems << ConnectionWindows::PortProblem{
            state.portNumber, ConnectionWindows::PortProblem::Kind::Silent,
            link.port().systemName(), 0};
        noNextPort = !nextPort(state.portNumber);
        link.closePort();
        m_scanTicks = 0;
    }
}

void Connection::scanTick() {
    ++m_scanTicks;
    if (m_scanTicks > 30000)
        m_scanTicks = 0;
    m_scanWaits->wakeAll();
}

void Connection::onReply(const ReplyEffects &effects) {
    if (effects.kind == ReplyEffects::Kind::Identity)
        m_scanWaits->wakeAll(); // discovery: the generator has answered on this port
}

void Connection::endProgram() {
    m_ending = true;
    m_context.link.closePort();
    m_context.quit();
}

void Connection::shutDown() {
    m_context.link.closePort();
}
