#include "setup/setupexchange.h"

#include "link/commands.h"
#include "link/devicestate.h"
#include "link/generator.h"
#include "link/link.h"
#include "link/polling.h"
#include "setup/setupdialog.h"
#include "setup/setuprules.h"
#include "widgets/panelcontext.h"
#include "widgets/services.h"

#include <QWidget>
#include <optional>

SetupExchange::SetupExchange(const PanelContext &context, Language &language, QObject *parent)
    : QObject(parent), m_context(context), m_language(language) {
    setObjectName(QStringLiteral("setupExchange"));
    connect(&m_context.link, &Link::portLost, this, &SetupExchange::updateSaveAllowed);
    connect(&m_context.link, &Link::replyHandled, this, [this](const ReplyEffects &effects) {
        if (effects.kind == ReplyEffects::Kind::Identity)
            updateSaveAllowed();
    });
}

void SetupExchange::updateSaveAllowed() {
    if (m_dialog)
        m_dialog->setSaveAllowed(m_context.link.generatorConnected());
}

SetupExchange::~SetupExchange() = default;

SetupDialog &SetupExchange::dialog() {
    if (!m_dialog)
        m_dialog = new SetupDialog(m_context.state, m_language, m_context.window);
    return *m_dialog;
}

QString SetupExchange::incompleteSetupText(const QString &operatorSent,
                                           const QString &coarseStep) const {
    if (operatorSent.isEmpty())
        return tr("The setup was not sent: the line to the generator was lost. The generator "
                  "keeps its display operator and coarse tuning step. Open Config again once "
                  "the generator is back.");
    return tr("The setup was not sent completely: the line to the generator was lost after "
              "the display operator was sent (%1), before the coarse tuning step of %2 Hz "
              "(%3). Open Config again once the generator is back.")
        .arg(operatorSent)
        .arg(m_context.state.coarseStep)
        .arg(coarseStep);
}

void SetupExchange::firmwareWindowClosed() {
    if (m_running)
        m_context.polling.setPollingEnabled(false);
    updateSaveAllowed();
    if (m_dialog && m_dialog->isVisible())
        m_dialog->loadFields();
}

QCoro::Task<> SetupExchange::run() {
    if (m_running)
        co_return;
    m_running = true;
    // A wait throws WaitCancelled when the program is going away; nothing below it
    // then touches the window or this object. Held, the poll stays off even when a lost
    // line comes back meanwhile.
    m_context.polling.setPollingEnabled(false);
    m_context.polling.setPollingHeld(true);
    m_context.window->setCursor(Qt::WaitCursor);

    // Each wait ends as soon as its own reply has been handled, which fills the
    // fields; without a reply the fields keep what they held.
    // Remote commands wait while these exchanges run, so that no other reply ends them.
    std::optional<Generator::LineHold> hold(std::in_place, m_context.generator);
    co_await m_context.link.ask(Commands::displayOperatorQuery(), QStringLiteral("Y"), 1000);
    co_await m_context.link.ask(Commands::coarseStepQuery(), QStringLiteral("V"), 1000);
    hold.reset(); // not while the window merely stands open

    const QPointer<SetupExchange> self(this);
    SetupDialog &window = dialog();
    const QPointer<SetupDialog> alive(&window);
    updateSaveAllowed();
    m_context.services.dialogs->showModal(window);
    if (!self || !alive || m_context.ending())
        co_return; // the program ended while the setup window was open

    if (SetupRules::sendsSettings(m_context.state.displayOperatorMode,
                                  m_context.state.displayOperator, m_context.state.coarseStep)) {
        const QString displayOperator = Commands::setDisplayOperator(
            m_context.state.displayOperatorMode, m_context.state.displayOperator);
        const QString coarseStep = Commands::setCoarseStep(m_context.state.coarseStep);
        const quint64 opening = m_context.link.opens();
        hold.emplace(m_context.generator); // from "Z" to "X"
        const bool operatorSent =
            m_context.link.generatorConnected() && m_context.link.sendCommand(displayOperator);
        co_await m_context.link.delay(1000);
        // The coarse step goes only to the generator that took the display operator:
        // a line lost meanwhile (even one open again) would lose it or give it to a
        // generator that restarted. The user is told what went out.
        const bool sameLine = operatorSent && m_context.link.generatorConnected() &&
                              m_context.link.opens() == opening;
        if (sameLine)
            m_context.link.sendCommand(coarseStep);
        hold.reset();
        if (!sameLine && !m_context.ending())
            m_context.services.dialogs->message(
                m_context.window, QStringLiteral("KVT Control Panel"),
                incompleteSetupText(operatorSent ? displayOperator : QString(), coarseStep));
    }

    m_context.window->unsetCursor();
    m_context.polling.setPollingEnabled(true);
    m_context.polling.setPollingHeld(false);
    m_running = false;
}
