// Preset save (MS) and recall (MR), and the read-out of the twelve presets.
#include "link/link.h"
#include "panel/form1.h"
#include "presets/form2.h"
#include "presets/presetrecord.h"

#include <QPushButton>

namespace {
// Attempts per preset before the read-out gives up: the query goes out 29 times.
constexpr int GiveUpAttempt = 30;
constexpr int QueryWaitMs = 50;
} // namespace

void Form1::connectPresets() {
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
}

QCoro::Task<bool> Form1::GetPresets() {
    Form2 &table = form2();
    m_state.PresetReadFailed = 0;
    for (int k = 1; k <= Presets::Count; ++k) {
        table.setRow(k, Presets::emptyRow(k));
        m_state.PresetRecord.clear();
        int attempt = 0;
        do {
            ++attempt;
            if (attempt >= GiveUpAttempt) {
                m_state.PresetReadFailed = -1;
                m_services.dialogs->message(this, QStringLiteral("KVT Control Panel"),
                                            QStringLiteral("Communication error"));
                co_return false;
            }
            m_link->SendCommand(QStringLiteral("K%1").arg(k));
            // Ends as soon as a reply has been handled, so a generator that answers at
            // once is read out at its own pace.
            co_await m_link->Delay(QueryWaitMs);
        } while (m_state.PresetRecord.isEmpty());

        table.setRow(k, Presets::rowFor(k, m_state.PresetRecord));
        // The record is used up: what stays is the part after the sixth space.
        m_state.PresetRecord = Presets::cutRecord(m_state.PresetRecord).rest;
    }
    co_return true;
}

// Shared by MS and MR: a fresh read-out, then the presets window. Returns the preset
// picked, 0 when there is nothing to do, or -1 when the window is going away. A wait
// cancelled because the window is going away ends the caller by exception.
static QCoro::Task<int> pickPreset(Form1 &form, const Services &services, QPushButton *a,
                                   QPushButton *b) {
    QPointer<Form1> self(&form);
    // The buttons stay disabled while a read-out or a recall runs, so neither can
    // start a second one inside the first.
    a->setEnabled(false);
    b->setEnabled(false);
    const bool complete = co_await form.GetPresets();
    if (!self)
        co_return -1;
    if (!complete || form.state().PresetReadFailed != 0)
        co_return 0;
    services.dialogs->showModal(form.form2());
    if (!self)
        co_return -1;
    const int n = form.state().SelectedPreset;
    co_return (n > 0 && n < 13) ? n : 0;
}

QCoro::Task<> Form1::Command2_Click() {
    if (!Command2->isEnabled())
        co_return;
    QPointer<Form1> self(this);
    const int n = co_await pickPreset(*this, m_services, Command2, Command3);
    if (n < 0 || !self || m_ending)
        co_return;
    if (n > 0 && m_services.dialogs->askYesNo(this, QStringLiteral("Confirm"),
                                              QStringLiteral("Save to preset %1 - OK ?").arg(n))) {
        if (!self || m_ending)
            co_return;
        m_link->SendCommand(QStringLiteral("S%1").arg(n));
        m_state.ActivePreset = static_cast<int16_t>(n);
        DisplayAll();
    }
    if (!self || m_ending)
        co_return;
    Command2->setEnabled(true);
    Command3->setEnabled(true);
}

QCoro::Task<> Form1::Command3_Click() {
    if (!Command3->isEnabled())
        co_return;
    QPointer<Form1> self(this);
    const int n = co_await pickPreset(*this, m_services, Command2, Command3);
    if (n < 0 || !self || m_ending)
        co_return;
    if (n > 0) {
        m_link->SendCommand(QStringLiteral("R%1").arg(n));
        co_await m_link->Delay(100);
        co_await ReadParams();
        m_state.ActivePreset = static_cast<int16_t>(n);
        DisplayAll();
    }
    Command2->setEnabled(true);
    Command3->setEnabled(true);
}
