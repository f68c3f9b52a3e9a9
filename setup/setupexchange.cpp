#include "setup/setupexchange.h"

#include "instrument/instrument.h"
#include "instrument/polling.h"
#include "link/commands.h"
#include "link/devicestate.h"
#include "link/link.h"
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
        m_dialog = new SetupDialog(m_language, m_context.window);
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
    const Instrument::SetupAnswers answers = co_await m_context.instrument.readSetup();
    const DeviceState &state = m_context.state;
    SetupRules::Values values = m_kept.value_or(
        SetupRules::Values{state.displayOperatorMode, state.displayOperator, state.coarseStep});
    if (answers.displayOperator) {
        values.mode = state.displayOperatorMode;
        values.displayOperator = state.displayOperator;
    }
    if (answers.coarseStep)
        values.coarseStep = state.coarseStep;

    const QPointer<SetupExchange> self(this);
    SetupDialog &window = dialog();
    window.setValues(values);
    const QPointer<SetupDialog> alive(&window);
    updateSaveAllowed();
    m_context.services.dialogs->showModal(window);
    if (!self || !alive || m_context.ending())
        co_return; // the program ended while the setup window was open

    // Cancel returns nothing; the window then shows -1 until the generator answers.
    m_kept = window.result().value_or(SetupRules::Values{-1, -1, -1});
    if (const std::optional<SetupRules::Values> saved = window.result();
        saved &&
        SetupRules::sendsSettings(saved->mode, saved->displayOperator, saved->coarseStep)) {
        const Instrument::SetupSent sent = co_await m_context.instrument.sendSetup(
            saved->mode, saved->displayOperator, saved->coarseStep);
        // The user is told what went out when the line was lost between the two.
        if (!sent.coarseStep && !m_context.ending())
            m_context.services.dialogs->message(
                m_context.window, QStringLiteral("KVT Control Panel"),
                incompleteSetupText(sent.displayOperator ? Commands::setDisplayOperator(
                                                               saved->mode, saved->displayOperator)
                                                         : QString(),
                                    Commands::setCoarseStep(saved->coarseStep)));
    }

    m_context.window->unsetCursor();
    m_context.polling.setPollingEnabled(true);
    m_context.polling.setPollingHeld(false);
    m_running = false;
}
