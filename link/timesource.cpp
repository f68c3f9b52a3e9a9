#include "link/timesource.h"

#include <QTimerEvent>
#include <algorithm>

QtTimeSource::QtTimeSource(QObject *parent) : QObject(parent) {
    m_clock.start();
}

quint64 QtTimeSource::schedule(int ms, Callback callback) {
    const quint64 id = m_nextId++;
    const int qtId = startTimer(std::max(0, ms), Qt::PreciseTimer);
    m_byQtId.emplace(qtId, Pending{id, std::move(callback)});
    m_qtIds.emplace(id, qtId);
    return id;
}

void QtTimeSource::cancel(quint64 id) {
    auto it = m_qtIds.find(id);
    if (it == m_qtIds.end())
        return;
    killTimer(it->second);
    m_byQtId.erase(it->second);
    m_qtIds.erase(it);
}

void QtTimeSource::timerEvent(QTimerEvent *event) {
    const int qtId = event->timerId();
    killTimer(qtId);
    auto it = m_byQtId.find(qtId);
    if (it == m_byQtId.end())
        return;
    // Take the entry out first: the callback may schedule or cancel timers.
    Callback callback = std::move(it->second.callback);
    m_qtIds.erase(it->second.id);
    m_byQtId.erase(it);
    callback();
}

qint64 QtTimeSource::nowMs() const {
    return m_clock.elapsed();
}

Ticker::Ticker(TimeSource &time, int intervalMs, std::function<void()> onTick)
    : m_time(time), m_interval(intervalMs), m_onTick(std::move(onTick)) {}

Ticker::~Ticker() {
    setEnabled(false);
}

void Ticker::setEnabled(bool enabled) {
    if (enabled == isEnabled())
        return;
    if (enabled) {
        arm();
    } else {
        m_time.cancel(m_id);
        m_id = 0;
    }
}

void Ticker::arm() {
    m_id = m_time.schedule(m_interval, [this] {
        // Re-arm before the tick runs so a tick handler that disables the timer wins.
        arm();
        m_onTick();
    });
}
