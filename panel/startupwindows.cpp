#include "panel/startupwindows.h"

#include "link/serialport.h"
#include "panel/connectionfailuredialog.h"
#include "widgets/panelcontext.h"
#include "widgets/services.h"

#include <QEvent>
#include <QLabel>

StartupWindows::StartupWindows(const PanelContext &context, Controls controls, QObject *parent)
    : QObject(parent), m_context(context), m_controls(std::move(controls)) {}

StartupWindows::~StartupWindows() {
    delete m_searchWindow;
}

// A port the system would not let this user open, and what cures it where the program
// came from: the package's udev rule gives the user at the screen access once the
// session is new or the adapter replugged; the unpacked folder brings an installer that
// places the same rule; the dialout group works for both (and over ssh).
QString StartupWindows::permissionDenied(bool packaged) {
#ifdef Q_OS_WIN
    Q_UNUSED(packaged)
    return tr("permission denied");
#else
    const QString dialout = tr("Or add your user to the group \"dialout\" (sudo usermod -aG "
                               "dialout $USER) and log in again.");
    if (packaged)
        return tr("permission denied: the udev rule installed with the package gives the user "
                  "at the screen access to USB serial adapters; log out and in again, or unplug "
                  "and replug the adapter.") +
               u' ' + dialout;
    return tr("permission denied: run the installer beside the program once (sudo ./install), "
              "then unplug and replug the adapter.") +
           u' ' + dialout;
#endif
}

QString StartupWindows::describe(const PortProblem &problem, bool packaged) {
    const QString name = QStringLiteral("COM%1").arg(problem.portNumber);
    switch (problem.kind) {
    case PortProblem::Kind::Busy:
        return name + QStringLiteral(": in use by another program");
    case PortProblem::Kind::PermissionDenied:
        return name + QStringLiteral(": ") + permissionDenied(packaged);
    case PortProblem::Kind::CannotOpen:
        if (problem.error == SerialPort::CannotConfigure)
            return name + QStringLiteral(": cannot be set to 115200,n,8,1");
        return name + QStringLiteral(": cannot be opened (error %1)").arg(problem.error);
    case PortProblem::Kind::Silent:
        break;
    }
    return name + QStringLiteral(": no answer from a generator (%1)").arg(problem.systemName);
}

void StartupWindows::showSearching(int portNumber) {
    const QString text = QStringLiteral("Searching for the generator: COM%1").arg(portNumber);
    if (!m_searchWindow) {
        m_searchWindow = new QLabel;
        m_searchWindow->setObjectName(QStringLiteral("searchWindow"));
        m_searchWindow->setWindowTitle(QStringLiteral("KVT Control Panel"));
        m_searchWindow->setMargin(18);
        m_searchWindow->setMinimumWidth(340);
        m_searchWindow->installEventFilter(this);
    }
    m_searchWindow->setText(text);
    if (!m_searchWindow->isVisible() && !m_context.window->isVisible())
        m_searchWindow->show();
}

void StartupWindows::hideSearching() {
    if (m_searchWindow)
        m_searchWindow->hide();
}

ConnectionWindows::FailureAnswer StartupWindows::askAfterFailure(const SearchReport &report) {
    if (!m_failureDialog) {
        m_failureDialog = new ConnectionFailureDialog(m_context.window);
        connect(m_failureDialog, &ConnectionFailureDialog::recoverRequested, this,
                &StartupWindows::recover);
    }
    hideSearching();
    m_foundPorts = report.foundPorts;
    m_recoveredPort = 0;
    QStringList lines;
    for (const PortProblem &problem : report.portProblems)
        lines << describe(problem, m_context.services.packaged);
    m_failureDialog->setSearchedPorts(
        {report.firstPort, report.lastPort, report.fromSavedPort, report.retryPort});
    m_failureDialog->setPortProblems(lines, !m_foundPorts.isEmpty());
    m_failureDialog->setRecoveryPossible(!m_foundPorts.isEmpty() && m_controls.recoverFirmware);
    const QPointer<StartupWindows> self(this);
    m_context.services.dialogs->showModal(*m_failureDialog);
    // The window's close control counts as Exit, and so does a window that went away
    // with the program while it was open.
    if (!self || !m_failureDialog || !m_failureDialog->retryChosen())
        return {FailureChoice::Exit, 0};
    return {FailureChoice::Retry, m_recoveredPort};
}

void StartupWindows::recover() {
    if (m_foundPorts.isEmpty() || !m_controls.recoverFirmware)
        return;
    QStringList names;
    for (int port : std::as_const(m_foundPorts))
        names << QStringLiteral("COM%1").arg(port);
    const std::optional<QString> chosen = m_context.services.dialogs->chooseItem(
        m_failureDialog, tr("Recover firmware"), tr("Port of the generator to recover:"), names);
    if (!chosen || !names.contains(*chosen))
        return;
    const int port = m_foundPorts.at(names.indexOf(*chosen));
    const QPointer<StartupWindows> self(this);
    const bool written = m_controls.recoverFirmware(port);
    if (!self || !written || !m_failureDialog)
        return;
    // The recovered generator is looked for at once, where it was written.
    m_recoveredPort = port;
    m_failureDialog->retry();
}

bool StartupWindows::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_searchWindow && event->type() == QEvent::Close &&
        !m_context.window->isVisible() && m_controls.searchClosed) {
        // Closing the search window during start-up ends the program, as closing the
        // main window does.
        m_controls.searchClosed();
        return false;
    }
    return QObject::eventFilter(watched, event);
}
