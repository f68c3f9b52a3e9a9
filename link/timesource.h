#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QtGlobal>
#include <functional>
#include <map>
#include <memory>

// The one source of time for every timer and wait of the program. The real one runs
// on Qt timers; tests use a manual clock (tests/support/manualclock.h) and advance it, so a 5 s
// port wait or a poll cycle runs in microseconds and exactly.
class TimeSource {
public:
    using Callback = std::function<void()>;
    virtual ~TimeSource() = default;

    // Calls `callback` once, `ms` milliseconds from now, on the UI thread.
    // Returns an id for cancel(); ids are never reused.
    virtual quint64 schedule(int ms, Callback callback) = 0;
    virtual void cancel(quint64 id) = 0;
    virtual qint64 nowMs() const = 0;
};

// Qt timers: each scheduled call is one precise QObject timer of this object.
class QtTimeSource final : public QObject, public TimeSource {
public:
    explicit QtTimeSource(QObject *parent = nullptr);
    quint64 schedule(int ms, Callback callback) override;
    void cancel(quint64 id) override;
    qint64 nowMs() const override;

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    struct Pending {
        quint64 id;
        Callback callback;
    };
    std::map<int, Pending> m_byQtId;
    std::map<quint64, int> m_qtIds;
    quint64 m_nextId = 1;
    QElapsedTimer m_clock;
};

// A repeating timer on a TimeSource, like the poll, discovery and radiotelegraph-repeat timers.
class Ticker {
public:
    Ticker(TimeSource &time, int intervalMs, std::function<void()> onTick);
    ~Ticker();
    Q_DISABLE_COPY(Ticker)

    void setEnabled(bool enabled);
    bool isEnabled() const { return m_id != 0; }
    int interval() const { return m_interval; }

private:
    void arm();

    TimeSource &m_time;
    int m_interval;
    std::function<void()> m_onTick;
    quint64 m_id = 0;
};
