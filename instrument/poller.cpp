#include "instrument/poller.h"
#include "link/commands.h"

#include "link/link.h"
#include "link/procedure.h"
#include "link/timesource.h"

namespace {
constexpr int PollEveryTicks = 4;
}

Poller::Poller(Link &link, TimeSource &time, std::function<void(const QString &)> reportFailure)
    : m_link(link), m_reportFailure(std::move(reportFailure)),
      m_timer(std::make_unique<Ticker>(time, 1000, [this] { tick(); })) {}

Poller::~Poller() = default;

void Poller::setPollingEnabled(bool on) {
    m_wanted = on;
    m_timer->setEnabled(m_wanted && !m_held);
}

void Poller::setPollingHeld(bool held) {
    m_held = held;
    m_timer->setEnabled(m_wanted && !m_held);
}

bool Poller::pollingEnabled() const {
    return m_timer->isEnabled();
}

QCoro::Task<> Poller::readParams() {
    Link &link = m_link;
    co_await link.delay(1000);
    link.sendCommand(Commands::pollCarrier());
    co_await link.delay(100);
    link.sendCommand(Commands::pollModulation());
    co_await link.delay(100);
    link.sendCommand(Commands::pollState());
    co_await link.delay(100);
    link.sendCommand(Commands::pollStep());
}

void Poller::tick() {
    ++m_ticks;
    if (m_ticks >= PollEveryTicks) {
        m_ticks = 0;
        // The setup exchange switches the poll back on at its end even when the line
        // was lost meanwhile; a poll then would only go into the bootloader of a
        // generator being plugged back in. Its reconnection starts polling again.
        if (m_link.generatorConnected())
            runProcedure(readParams(), m_reportFailure);
    }
}
