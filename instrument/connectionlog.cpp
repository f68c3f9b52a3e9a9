#include "instrument/connectionlog.h"

#include "link/devicestate.h"

#include <utility>

namespace {

QString portName(int portNumber, const QString &systemName) {
    const QString name = QStringLiteral("COM%1").arg(portNumber);
    return systemName.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, systemName);
}

QString generatorName(const DeviceState &state) {
    const QString serial =
        state.deviceId > 0 ? QString::number(state.deviceId) : QStringLiteral("not reported");
    return QStringLiteral("%1, serial number %2, firmware %3")
        .arg(state.modelName.isEmpty() ? QStringLiteral("KVT") : state.modelName, serial,
             state.firmwareVersion);
}

} // namespace

ConnectionLog::ConnectionLog(std::function<void(const QString &)> write, bool packaged,
                             ConnectionTexts::Platform platform)
    : m_write(std::move(write)), m_packaged(packaged), m_platform(platform) {}

void ConnectionLog::portTried(int portNumber, const QString &systemName,
                              const std::optional<PortProblem> &problem) {
    const QString line =
        problem ? QStringLiteral("KVT: ") + ConnectionTexts::describe(*problem, m_packaged)
                : QStringLiteral("KVT: trying ") + portName(portNumber, systemName);
    m_passLines << line;
    if (!m_lastPassLines.contains(line))
        m_write(line);
}

ConnectionWindows::FailureAnswer ConnectionLog::askAfterFailure(const SearchReport &report) {
    QStringList problems;
    for (const PortProblem &problem : report.portProblems)
        problems << ConnectionTexts::describe(problem, m_packaged);
    const QStringList lines = ConnectionTexts::searchLines(
        {report.firstPort, report.lastPort, report.fromSavedPort, report.retryPort}, problems,
        !report.foundPorts.isEmpty(), m_platform, false);
    QString summary = QStringLiteral("KVT: no generator found; searching again from COM%1 "
                                     "every %2 s")
                          .arg(report.retryPort)
                          .arg(PassPauseMs / 1000);
    for (const QString &line : lines) {
        if (!line.isEmpty())
            summary +=
                (problems.contains(line) ? QStringLiteral("\n      ") : QStringLiteral("\n    ")) +
                line;
    }
    if (summary != m_lastSummary)
        m_write(summary);
    m_lastSummary = summary;
    m_lastPassLines = std::exchange(m_passLines, {});
    return {FailureChoice::Retry, 0, PassPauseMs};
}

void ConnectionLog::generatorConnected(const DeviceState &state, const QString &systemName) {
    if (m_lineUp)
        return;
    const QString where = portName(state.portNumber, systemName);
    m_write((m_connectedOnce ? QStringLiteral("KVT: the generator is back on %1: %2")
                             : QStringLiteral("KVT: connected to the generator on %1: %2"))
                .arg(where, generatorName(state)));
    m_connectedOnce = m_lineUp = true;
    m_passLines.clear();
    m_lastPassLines.clear();
    m_lastSummary.clear();
}

void ConnectionLog::lineLost(int portNumber, const QString &systemName) {
    if (!m_lineUp)
        return;
    m_lineUp = false;
    m_write(QStringLiteral("KVT: the line to the generator on %1 is lost; trying it again")
                .arg(portName(portNumber, systemName)));
}
