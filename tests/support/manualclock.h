#pragma once

#include "link/timesource.h"

#include <map>

// A clock that only moves when told to. Callbacks due at the same time run in the
// order they were scheduled; callbacks scheduled while advancing run in the same
// advance if they fall due within it.
class ManualClock final : public TimeSource {
public:
    quint64 schedule(int ms, Callback callback) override;
    void cancel(quint64 id) override;
    qint64 nowMs() const override { return m_now; }

    void advance(qint64 ms);
    qsizetype pendingCount() const { return static_cast<qsizetype>(m_pending.size()); }

private:
    struct Entry {
        qint64 due;
        Callback callback;
    };
    std::map<quint64, Entry> m_pending;
    quint64 m_nextId = 1;
    qint64 m_now = 0;
};
