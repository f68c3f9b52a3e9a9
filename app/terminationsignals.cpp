#include "app/terminationsignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int Caught[] = {SIGTERM, SIGINT, SIGHUP};
int wakePipe[2] = {-1, -1}; // written by the handler, read on the event loop

extern "C" void onTerminationSignal(int signalNumber) {
    // Only async-signal-safe work here: one write, errno kept for the code we broke into.
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const auto written = ::write(wakePipe[1], &byte, 1);
    errno = savedErrno;
}

void setHandler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : Caught)
        ::sigaction(signalNumber, &action, nullptr);
}
} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {
    if (wakePipe[0] >= 0 || ::pipe(wakePipe) != 0)
        return;
    for (int fd : wakePipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    m_notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
    setHandler(onTerminationSignal);
}

TerminationSignals::~TerminationSignals() {
    if (!m_notifier)
        return;
    setHandler(SIG_DFL);
    delete m_notifier;
    for (int &fd : wakePipe) {
        ::close(fd);
        fd = -1;
    }
}

void TerminationSignals::readPipe() {
    unsigned char numbers[16];
    for (;;) {
        const auto got = ::read(wakePipe[0], numbers, sizeof numbers);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return;
        for (ssize_t i = 0; i < got; ++i)
            Q_EMIT requested(numbers[i]);
    }
}

#else

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {}
TerminationSignals::~TerminationSignals() = default;
void TerminationSignals::readPipe() {}

#endif
