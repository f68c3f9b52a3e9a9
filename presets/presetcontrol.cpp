#include "presets/presetcontrol.h"

#include "instrument/instrument.h"
#include "link/presetrecord.h"
#include "presets/presetfiles.h"
#include "presets/presetswindow.h"
#include "widgets/panelcontext.h"
#include "widgets/services.h"

#include <QPushButton>

PresetControl::PresetControl(const PanelContext &context, Controls controls, QObject *parent)
    : QObject(parent), m_context(context), m_controls(controls),
      m_files(new PresetFiles(
          context, [this] { return readPresets(); }, this)) {
    connect(m_controls.saveButton, &QPushButton::clicked, this,
            [this] { startProcedure(m_context, save()); });
    connect(m_controls.recallButton, &QPushButton::clicked, this,
            [this] { startProcedure(m_context, recall()); });
}

PresetsWindow &PresetControl::presetsWindow() {
    if (!m_presetsWindow) {
        m_presetsWindow = new PresetsWindow(m_context.window);
        m_files->attach(*m_presetsWindow);
    }
    return *m_presetsWindow;
}

QCoro::Task<bool> PresetControl::readPresets() {
    PresetsWindow &table = presetsWindow();
    for (int k = 1; k <= Presets::Count; ++k) {
        table.setRow(k, Presets::emptyRow(k));
        // Each query ends as soon as this preset's record has been handled, so a
        // generator that answers at once is read out at its own pace; other replies and
        // a late answer for another preset do not end it.
        const std::optional<QString> record = co_await m_context.instrument.readPreset(k);
        if (!record) {
            m_context.services.dialogs->message(m_context.window,
                                                QStringLiteral("KVT Control Panel"),
                                                QStringLiteral("Communication error"));
            co_return false;
        }
        table.setRow(k, Presets::rowFor(k, *record));
    }
    co_return true;
}

void PresetControl::setButtonsEnabled(bool enabled) {
    m_busy = !enabled;
    m_controls.saveButton->setEnabled(enabled && m_lineUp);
    m_controls.recallButton->setEnabled(enabled && m_lineUp);
}

void PresetControl::setLineUp(bool up) {
    m_lineUp = up;
    setButtonsEnabled(!m_busy);
}

QCoro::Task<int> PresetControl::pickPreset() {
    // The buttons stay disabled while a read-out or a recall runs, so neither can
    // start a second one inside the first.
    setButtonsEnabled(false);
    const QPointer<PresetControl> self(this);
    const bool complete = co_await readPresets();
    // A read-out that gave up has shown "Communication error" modally: the window may
    // have gone away meanwhile, and with it this control and its buttons.
    if (!self || m_context.ending())
        co_return -1;
    if (!complete)
        co_return 0;
    m_context.services.dialogs->showModal(presetsWindow());
    // The window may have gone away while the presets window was open.
    if (!self || m_context.ending() || !m_presetsWindow)
        co_return -1;
    const int n = m_presetsWindow->chosenPreset();
    co_return (n > 0 && n <= Presets::Count) ? n : 0;
}

QCoro::Task<> PresetControl::save() {
    if (!m_controls.saveButton->isEnabled())
        co_return;
    // A wait cancelled because the program is going away ends this by exception.
    const QPointer<PresetControl> self(this);
    const int n = co_await pickPreset();
    if (n < 0)
        co_return;
    if (n > 0) {
        const bool confirmed =
            m_context.services.dialogs->askYesNo(m_context.window, QStringLiteral("Confirm"),
                                                 QStringLiteral("Save to preset %1 - OK ?").arg(n));
        // The question was modal: this control must still be there.
        if (!self || m_context.ending())
            co_return;
        if (confirmed)
            m_context.instrument.savePreset(n);
    }
    setButtonsEnabled(true);
}

QCoro::Task<> PresetControl::recall() {
    if (!m_controls.recallButton->isEnabled())
        co_return;
    const int n = co_await pickPreset();
    if (n < 0)
        co_return;
    if (n > 0)
        co_await m_context.instrument.recallPreset(n);
    setButtonsEnabled(true);
}
