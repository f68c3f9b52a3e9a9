#include "link/procedure.h"

#include "link/waits.h"

#include <QtDebug>
#include <coroutine>
#include <exception>

namespace {
// A coroutine that nobody awaits: it owns the procedure's task until it has ended
// and frees itself at its end.
struct Detached {
    struct promise_type {
        Detached get_return_object() noexcept { return {}; }
        std::suspend_never initial_suspend() const noexcept { return {}; }
        std::suspend_never final_suspend() const noexcept { return {}; }
        void return_void() const noexcept {}
        // Every exception is caught in the body below.
        void unhandled_exception() const noexcept { std::terminate(); }
    };
};

Detached keep(QCoro::Task<> task, std::function<void(const QString &)> report) {
    QString failure;
    try {
        co_await std::move(task);
        co_return; // ended normally: nothing to report
    } catch (const WaitCancelled &) {
        co_return;
    } catch (const std::exception &e) {
        failure = QString::fromLocal8Bit(e.what());
    } catch (...) {
        failure = QStringLiteral("unknown exception");
    }
    qCritical("KVT: a procedure failed: %s", qUtf8Printable(failure));
    if (report) {
        try {
            report(failure);
        } catch (...) {
            qCritical("KVT: reporting the failure failed as well");
        }
    }
}
} // namespace

void runProcedure(QCoro::Task<> task, std::function<void(const QString &what)> report) {
    keep(std::move(task), std::move(report));
}
