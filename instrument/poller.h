#pragma once

#include "instrument/polling.h"

#include <QString>
#include <functional>
#include <memory>

class Link;
class Ticker;
class TimeSource;

// The 4-second poll of the generator's parameters. The timer ticks every second and
// the poll runs on every fourth tick while polling is on; start-up switches it on
// once a generator has answered.
class Poller final : public Polling {
public:
    Poller(Link &link, TimeSource &time, std::function<void(const QString &)> reportFailure);
    ~Poller() override;
    Q_DISABLE_COPY(Poller)

    void setPollingEnabled(bool on) override;
    bool pollingEnabled() const override;
    void setPollingHeld(bool held) override;
    QCoro::Task<> readParams() override;

private:
    void tick();

    Link &m_link;
    std::function<void(const QString &)> m_reportFailure;
    std::unique_ptr<Ticker> m_timer;
    int m_ticks = 0;       // ticks since the last poll
    bool m_wanted = false; // as last switched with setPollingEnabled
    bool m_held = false;
};
