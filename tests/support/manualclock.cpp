#include "tests/support/manualclock.h"

#include <algorithm>

quint64 ManualClock::schedule(int ms, Callback callback) {
    const quint64 id = m_nextId++;
    m_pending.emplace(id, Entry{m_now + std::max(0, ms), std::move(callback)});
    return id;
}

void ManualClock::cancel(quint64 id) {
    m_pending.erase(id);
}

void ManualClock::advance(qint64 ms) {
    const qint64 target = m_now + std::max<qint64>(0, ms);
    for (;;) {
        auto next = m_pending.end();
        for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
            // Map order is scheduling order, so the first of equal due times wins.
            if (it->second.due <= target &&
                (next == m_pending.end() || it->second.due < next->second.due))
                next = it;
        }
        if (next == m_pending.end())
            break;
        m_now = next->second.due;
        Callback cb = std::move(next->second.callback);
        m_pending.erase(next);
        cb();
    }
    m_now = std::max(m_now, target);
}
