#include "link/procedure.h"

#include "link/waits.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QtDebug>
#include <coroutine>
#include <exception>
#include <optional>

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

// Why a procedure failed, or nothing when it was only cancelled. A plain function:
// the typed catches stay out of the coroutine, where GCC 12 loses the exception.
std::optional<QString> failureOf(const std::exception_ptr &error) {
    try {
        std::rethrow_exception(error);
    } catch (const WaitCancelled &) {
        return std::nullopt;
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("unknown exception");
    }
}

Detached keep(QCoro::Task<> task, std::function<void(const QString &)> report) {
    std::exception_ptr error;
    try {
        co_await std::move(task);
    } catch (...) {
        error = std::current_exception();
    }
    if (!error)
        co_return;
    const std::optional<QString> failure = failureOf(error);
    if (!failure)
        co_return;
    qCritical("KVT: a procedure failed: %s", qUtf8Printable(*failure));
    if (!report || !QCoreApplication::instance())
        co_return;
    // The procedure may have ended inside the link's reply handling or a wait list's
    // wake-up; a modal message there would run the event loop inside the reader. It is
    // shown from the event loop once the procedure has unwound.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [report = std::move(report), what = *failure] {
            try {
                report(what);
            } catch (...) {
                qCritical("KVT: reporting the failure failed as well");
            }
        },
        Qt::QueuedConnection);
}
} // namespace

void runProcedure(QCoro::Task<> task, std::function<void(const QString &what)> report) {
    keep(std::move(task), std::move(report));
}
