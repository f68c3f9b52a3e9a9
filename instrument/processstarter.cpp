#include "instrument/processstarter.h"

#include <QFileInfo>
#include <QProcess>

namespace {
class QtStartedProcess final : public StartedProcess {
public:
    QtStartedProcess() {
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        connect(&m_process, &QProcess::finished, this, &QtStartedProcess::ended);
        // A program that turns out not to start after all never reports finished.
        connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                ended();
        });
    }
    ~QtStartedProcess() override {
        // Nobody listens any more: the end of a killed run is only collected.
        blockSignals(true);
        disconnect(&m_process, nullptr, this, nullptr);
        kill();
    }
    Q_DISABLE_COPY(QtStartedProcess)

    bool start(const QString &program, const QStringList &arguments) {
        m_process.start(program, arguments, QIODevice::NotOpen);
        return m_process.state() != QProcess::NotRunning ||
               m_process.error() != QProcess::FailedToStart;
    }
    bool running() const override { return !m_ended && m_process.state() != QProcess::NotRunning; }
    std::optional<int> exitCode() const override {
        if (running() || m_process.error() == QProcess::FailedToStart ||
            m_process.exitStatus() != QProcess::NormalExit || m_killed)
            return std::nullopt;
        return m_process.exitCode();
    }
    void kill() override {
        if (!running())
            return;
        m_killed = true;
        m_process.kill();
        // After SIGKILL the child is gone at once; this only collects it (and reports
        // finished() through ended()).
        m_process.waitForFinished(1000);
        ended();
    }

private:
    void ended() {
        if (m_ended)
            return;
        m_ended = true;
        Q_EMIT finished();
    }

    QProcess m_process;
    bool m_killed = false;
    bool m_ended = false;
};
} // namespace

std::unique_ptr<StartedProcess> QtProcessStarter::start(const QString &program,
                                                        const QStringList &arguments) {
    const QFileInfo file(program);
    if (program.isEmpty() || !file.isFile() || !file.isExecutable())
        return nullptr;
    auto process = std::make_unique<QtStartedProcess>();
    if (!process->start(file.absoluteFilePath(), arguments))
        return nullptr;
    return process;
}
