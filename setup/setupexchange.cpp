#include "setup/setupexchange.h"

#include "link/devicestate.h"
#include "link/link.h"
#include "link/polling.h"
#include "setup/setupdialog.h"
#include "setup/setuprules.h"

#include <QWidget>

SetupExchange::SetupExchange(Link &link, DeviceState &state, Polling &polling,
                             const Services &services, QWidget &window)
    : m_link(link), m_state(state), m_polling(polling), m_services(services), m_window(window) {
    setObjectName(QStringLiteral("setupExchange"));
}

SetupExchange::~SetupExchange() = default;

SetupDialog &SetupExchange::dialog() {
    if (!m_dialog)
        m_dialog = new SetupDialog(m_state, &m_window);
    return *m_dialog;
}

void SetupExchange::firmwareWindowClosed() {
    if (m_running)
        m_polling.setPollingEnabled(false);
    if (m_dialog && m_dialog->isVisible())
        m_dialog->loadFields();
}

QCoro::Task<> SetupExchange::run() {
    if (m_running)
        co_return;
    m_running = true;
    // A wait throws WaitCancelled when the program is going away; nothing below it
    // then touches the window or this object.
    m_polling.setPollingEnabled(false);
    m_window.setCursor(Qt::WaitCursor);

    // Each wait ends as soon as its own reply has been handled, which fills the
    // fields; without a reply the fields keep what they held.
    m_link.sendCommand(QStringLiteral("Y"));
    co_await m_link.replyWait(u'Y', 1000);
    m_link.sendCommand(QStringLiteral("V"));
    co_await m_link.replyWait(u'V', 1000);

    const QPointer<SetupExchange> self(this);
    SetupDialog &window = dialog();
    const QPointer<SetupDialog> alive(&window);
    m_services.dialogs->showModal(window);
    if (!self || !alive)
        co_return; // the program ended while the setup window was open

    const SetupRules::Commands commands = SetupRules::applyCommands(
        m_state.displayOperatorMode, m_state.displayOperator, m_state.coarseStep);
    if (!commands.setOperator.isEmpty()) {
        m_link.sendCommand(commands.setOperator);
        co_await m_link.delay(1000);
        m_link.sendCommand(commands.setStep);
    }

    m_window.unsetCursor();
    m_polling.setPollingEnabled(true);
    m_running = false;
}
