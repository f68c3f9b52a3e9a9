#include "panel/startupwindows.h"

#include "instrument/connectiontexts.h"
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
        lines << ConnectionTexts::describe(problem, m_context.services.packaged);
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
