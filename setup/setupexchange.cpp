#include "setup/setupexchange.h"

#include "instrument/instrument.h"
#include "instrument/polling.h"
#include "link/devicestate.h"
#include "link/link.h"
#include "setup/setupdialog.h"
#include "setup/setuprules.h"
#include "widgets/panelcontext.h"
#include "widgets/services.h"

#include <QWidget>

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
    // then touches the window or this object.
    m_context.polling.setPollingEnabled(false);
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
    if (!self || !alive)
        co_return; // the program ended while the setup window was open

    // Cancel returns nothing; the window then shows -1 until the generator answers.
    m_kept = window.result().value_or(SetupRules::Values{-1, -1, -1});
    if (const std::optional<SetupRules::Values> saved = window.result();
        saved && SetupRules::sendsSettings(saved->mode, saved->displayOperator, saved->coarseStep))
        co_await m_context.instrument.sendSetup(saved->mode, saved->displayOperator,
                                                saved->coarseStep);

    m_context.window->unsetCursor();
    m_context.polling.setPollingEnabled(true);
    m_running = false;
}
