#include "widgets/services.h"

#include <QFileInfo>
#include <QProcess>

namespace {
class QtStartedProcess final : public StartedProcess {
public:
    QtStartedProcess() { m_process.setProcessChannelMode(QProcess::ForwardedChannels); }
    ~QtStartedProcess() override { kill(); }
    Q_DISABLE_COPY(QtStartedProcess)

    bool start(const QString &program, const QStringList &arguments) {
        m_process.start(program, arguments, QIODevice::NotOpen);
        return m_process.state() != QProcess::NotRunning ||
               m_process.error() != QProcess::FailedToStart;
    }
    bool running() const override { return m_process.state() != QProcess::NotRunning; }
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
        // After SIGKILL the child is gone at once; this only collects it.
        m_process.waitForFinished(1000);
    }

private:
    QProcess m_process;
    bool m_killed = false;
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
