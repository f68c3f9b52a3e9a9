#include "panel/startupwindows.h"

#include "link/panelcontext.h"
#include "link/services.h"
#include "panel/connectionfailuredialog.h"

#include <QEvent>
#include <QLabel>

StartupWindows::StartupWindows(const PanelContext &context, Controls controls, QObject *parent)
    : QObject(parent), m_context(context), m_controls(std::move(controls)) {}

StartupWindows::~StartupWindows() {
    delete m_searchWindow;
}

void StartupWindows::showSearching(const QString &text) {
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

ConnectionWindows::FailureChoice StartupWindows::askAfterFailure(const QStringList &portProblems) {
    if (!m_failureDialog)
        m_failureDialog = new ConnectionFailureDialog(m_context.window);
    hideSearching();
    m_failureDialog->setPortProblems(portProblems);
    m_context.services.dialogs->showModal(*m_failureDialog);
    // The window's close control counts as Exit, and so does a window that went away
    // with the program while it was open.
    if (!m_failureDialog || !m_failureDialog->retryChosen())
        return FailureChoice::Exit;
    return FailureChoice::Retry;
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
