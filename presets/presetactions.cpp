// Preset save (MS) and recall (MR), and the read-out of the twelve presets.
#include "link/link.h"
#include "panel/mainwindow.h"
#include "presets/presetrecord.h"
#include "presets/presetswindow.h"

#include <QPushButton>

namespace {
// Attempts per preset before the read-out gives up: the query goes out 29 times.
constexpr int GiveUpAttempt = 30;
constexpr int QueryWaitMs = 50;
} // namespace

void MainWindow::connectPresets() {
    connect(saveButton, &QPushButton::clicked, this, [this] { saveClicked(); });
    connect(recallButton, &QPushButton::clicked, this, [this] { recallClicked(); });
}

QCoro::Task<bool> MainWindow::readPresets() {
    PresetsWindow &table = presetsWindow();
    m_state.presetReadFailed = 0;
    for (int k = 1; k <= Presets::Count; ++k) {
        table.setRow(k, Presets::emptyRow(k));
        m_state.presetRecord.clear();
        int attempt = 0;
        do {
            ++attempt;
            if (attempt >= GiveUpAttempt) {
                m_state.presetReadFailed = -1;
                m_services.dialogs->message(this, QStringLiteral("KVT Control Panel"),
                                            QStringLiteral("Communication error"));
                co_return false;
            }
            m_link->sendCommand(QStringLiteral("K%1").arg(k));
            // Ends as soon as this preset's record has been handled, so a generator that
            // answers at once is read out at its own pace; other replies and a late
            // answer for another preset (cleared away) do not end it.
            co_await m_link->answerWait(u'K', QueryWaitMs, [this, k] {
                if (Presets::answersOtherPreset(k, m_state.presetRecord))
                    m_state.presetRecord.clear();
                return !m_state.presetRecord.isEmpty();
            });
        } while (m_state.presetRecord.isEmpty());

        table.setRow(k, Presets::rowFor(k, m_state.presetRecord));
        // The record is used up: what stays is the part after the sixth space.
        m_state.presetRecord = Presets::cutRecord(m_state.presetRecord).rest;
    }
    co_return true;
}

// Shared by MS and MR: a fresh read-out, then the presets window. Returns the preset
// picked, 0 when there is nothing to do, or -1 when the window is going away. A wait
// cancelled because the window is going away ends the caller by exception.
static QCoro::Task<int> pickPreset(MainWindow &form, const Services &services, QPushButton *a,
                                   QPushButton *b) {
    QPointer<MainWindow> self(&form);
    // The buttons stay disabled while a read-out or a recall runs, so neither can
    // start a second one inside the first.
    a->setEnabled(false);
    b->setEnabled(false);
    const bool complete = co_await form.readPresets();
    if (!self)
        co_return -1;
    if (!complete || form.state().presetReadFailed != 0)
        co_return 0;
    services.dialogs->showModal(form.presetsWindow());
    if (!self)
        co_return -1;
    const int n = form.state().selectedPreset;
    co_return (n > 0 && n < 13) ? n : 0;
}

QCoro::Task<> MainWindow::saveClicked() {
    if (!saveButton->isEnabled())
        co_return;
    QPointer<MainWindow> self(this);
    const int n = co_await pickPreset(*this, m_services, saveButton, recallButton);
    if (n < 0 || !self || m_ending)
        co_return;
    if (n > 0 && m_services.dialogs->askYesNo(this, QStringLiteral("Confirm"),
                                              QStringLiteral("Save to preset %1 - OK ?").arg(n))) {
        if (!self || m_ending)
            co_return;
        m_link->sendCommand(QStringLiteral("S%1").arg(n));
        m_state.activePreset = static_cast<int16_t>(n);
        displayAll();
    }
    if (!self || m_ending)
        co_return;
    saveButton->setEnabled(true);
    recallButton->setEnabled(true);
}

QCoro::Task<> MainWindow::recallClicked() {
    if (!recallButton->isEnabled())
        co_return;
    QPointer<MainWindow> self(this);
    const int n = co_await pickPreset(*this, m_services, saveButton, recallButton);
    if (n < 0 || !self || m_ending)
        co_return;
    if (n > 0) {
        m_link->sendCommand(QStringLiteral("R%1").arg(n));
        co_await m_link->delay(100);
        co_await readParams();
        m_state.activePreset = static_cast<int16_t>(n);
        displayAll();
    }
    saveButton->setEnabled(true);
    recallButton->setEnabled(true);
}
