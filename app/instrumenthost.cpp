#include "app/instrumenthost.h"

#include "link/linetrace.h"
#include "link/link.h"
#include "remote/remoteserver.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>

FileLocations locateProgramFiles() {
    return FileLocations::locate(QCoreApplication::applicationDirPath(),
                                 qEnvironmentVariable("HOME"),
                                 [](const char *name) { return qEnvironmentVariable(name); });
}

InstrumentHost::InstrumentHost(const FileLocations &files, std::function<void()> quit)
    : m_port(std::make_shared<PortNames>(files.settingsFolder)),
      m_instrument(m_port, m_time, files.settingsFolder, std::move(quit)) {
#ifdef Q_OS_UNIX
    // A trace into a pipe whose reader has gone fails its write (and stops), and so does
    // a remote client that has gone: neither may end the program.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

InstrumentHost::~InstrumentHost() {
    stop();
}

void InstrumentHost::startTrace(const QString &file) {
    if (file.isEmpty())
        return;
    auto trace = std::make_unique<LineTrace>(file);
    QString error;
    if (!trace->open(QStringLiteral(KVT_PROGRAM_VERSION), &error)) {
        std::fprintf(stderr, "KVT: cannot write the trace file %s (%s); running without a trace\n",
                     qUtf8Printable(file), qUtf8Printable(error));
        return;
    }
    m_trace = std::move(trace);
    m_instrument.link().setTrace(m_trace.get());
    if (m_remote)
        m_remote->setTrace(m_trace.get());
}

bool InstrumentHost::startRemote(quint16 port, const QString &extraAddress, QString *error) {
    auto remote = std::make_unique<RemoteServer>(m_instrument);
    if (!remote->listen(port, extraAddress, error))
        return false;
    // An extra address that could not be used: the loopback ones still listen.
    if (!error->isEmpty())
        std::fprintf(stderr, "KVT: remote control: %s\n", qUtf8Printable(*error));
    remote->setTrace(m_trace.get());
    m_remote = std::move(remote);
    return true;
}

void InstrumentHost::stop() {
    m_remote.reset();
    m_instrument.link().setTrace(nullptr);
}
