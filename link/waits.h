#pragma once

#include "link/timesource.h"

#include <QtGlobal>
#include <coroutine>
#include <map>
#include <memory>

// The waits of the program's sequenced procedures (ReadParams, start-up, the preset
// read-out, ...). A procedure is a coroutine that writes
//
//     if (!co_await waits.wait(100)) co_return;
//
// The wait ends when its time has passed or, earlier, as soon as the owner calls
// wakeAll() (a reply frame or identity line was handled), so the program moves on as
// soon as the generator has answered. It yields false when the owner is going away
// (cancelAll(), or destruction): the procedure must then stop without touching its
// window. Nothing blocks: while a procedure waits, the event loop runs everything else.
class WaitSet {
public:
    explicit WaitSet(TimeSource &time) : m_time(time) {}
    ~WaitSet() { cancelAll(); }
    Q_DISABLE_COPY(WaitSet)

    // A wait of `ms` milliseconds; a negative time waits only for wakeAll().
    [[nodiscard]] auto wait(int ms) {
        struct Op {
            WaitSet *set;
            int ms;
            std::shared_ptr<bool> result = std::make_shared<bool>(false);
            bool await_ready() const noexcept { return false; }
            void await_suspend(std::coroutine_handle<> handle) { set->add(handle, ms, result); }
            bool await_resume() const noexcept { return *result; }
        };
        return Op{this, ms};
    }

    // Ends every pending wait now; each yields true.
    void wakeAll() { finishAll(true); }
    // Ends every pending wait now; each yields false (the owner is going away).
    void cancelAll() { finishAll(false); }

    qsizetype pendingCount() const { return static_cast<qsizetype>(m_entries.size()); }

private:
    struct Pending {
        std::coroutine_handle<> handle;
        quint64 timerId = 0;
        std::shared_ptr<bool> result;
    };

    void add(std::coroutine_handle<> handle, int ms, std::shared_ptr<bool> result);
    void finish(quint64 key, bool result);
    void finishAll(bool result);

    TimeSource &m_time;
    std::map<quint64, Pending> m_entries;
    quint64 m_nextKey = 1;
};
