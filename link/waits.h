#pragma once

#include "link/timesource.h"

#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <coroutine>
#include <exception>
#include <map>
#include <memory>

// Thrown out of a wait when its owner is going away (the window closes or the
// program ends). It unwinds the waiting procedure and every procedure awaiting it, so
// none of them touches a window that is being destroyed; a procedure started from a
// click or a timer simply ends with it.
struct WaitCancelled : std::exception {
    const char *what() const noexcept override { return "wait cancelled"; }
};

// The waits of the program's sequenced procedures (readParams, start-up, the preset
// read-out, ...). A procedure is a coroutine (QCoro::Task<>) that writes
//
//     co_await waits.wait(100);
//
// always as a statement of its own. (GCC 12 miscompiles a co_await inside the
// condition of an if or while: the coroutine crashes when it is resumed. That is why
// a wait yields nothing and cancellation is an exception instead of a flag to test.)
// The wait ends when its time has passed or, earlier, as soon as the owner calls
// wakeAll() (a reply frame or identity line was handled), so the program moves on as
// soon as the generator has answered. It throws WaitCancelled on cancelAll() or
// destruction. Nothing blocks: while a procedure waits, the event loop runs the rest.
class WaitSet {
public:
    explicit WaitSet(TimeSource &time) : m_time(time) {}
    ~WaitSet() { cancelAll(); }
    Q_DISABLE_COPY(WaitSet)

    // What a wait's co_await suspends on. Kept by value in the coroutine frame.
    struct Awaiter {
        WaitSet *set;
        int ms;
        QString awaited; // the frame letters that end it; empty: any handled reply
        std::shared_ptr<bool> result;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle) {
            set->add(handle, ms, awaited, result);
        }
        void await_resume() const {
            if (!*result)
                throw WaitCancelled{};
        }
    };
    // The value of wait(): co_await turns it into an Awaiter held by the coroutine
    // frame itself, so nothing of the wait lives in a temporary across the suspension.
    struct WaitOp {
        WaitSet *set;
        int ms;
        QString awaited;
        Awaiter operator co_await() const {
            return Awaiter{set, ms, awaited, std::make_shared<bool>(false)};
        }
    };

    // A wait of `ms` milliseconds that any handled reply ends; a negative time waits
    // only for a wake.
    [[nodiscard]] WaitOp wait(int ms) { return WaitOp{this, ms, {}}; }
    // A wait for one particular reply: it ends when a reply with any of these frame
    // letters (a null-free, non-empty set) has been handled or when `ms` have passed.
    // Other replies do not end it.
    [[nodiscard]] WaitOp waitForAny(const QString &letters, int ms) {
        return WaitOp{this, ms, letters};
    }

    // Ends every pending wait now.
    void wakeAll() { finishBefore(m_nextKey, true, {}, true); }
    // Marks the waits running now, so that a later wake ends only those: a wait begun
    // while a reply was being handled waits for the next one.
    quint64 mark() const { return m_nextKey; }
    // Replies with these frame letters have been handled: ends the plain waits begun
    // before the mark and those of them that wait for one of the letters.
    void wakeStartedBefore(quint64 mark, QStringView letters = {}) {
        finishBefore(mark, true, letters);
    }
    // Ends every pending wait now with WaitCancelled (the owner is going away).
    void cancelAll() { finishBefore(m_nextKey, false, {}); }

    qsizetype pendingCount() const { return static_cast<qsizetype>(m_entries.size()); }

private:
    struct Pending {
        std::coroutine_handle<> handle;
        quint64 timerId = 0;
        QString awaited;
        std::shared_ptr<bool> result;
    };

    void add(std::coroutine_handle<> handle, int ms, const QString &awaited,
             std::shared_ptr<bool> result);
    void finish(quint64 key, bool result);
    // Ends the waits begun before the mark; when waking (result true) a wait for a
    // particular reply ends only when its letter is among `letters`, except on
    // wakeAll(), which ends every wait.
    void finishBefore(quint64 mark, bool result, QStringView letters, bool all = false);

    TimeSource &m_time;
    std::map<quint64, Pending> m_entries;
    quint64 m_nextKey = 1;
};
