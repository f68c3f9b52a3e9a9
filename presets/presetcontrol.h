#pragma once

#include <QObject>
#include <QPointer>
#include <qcoro/qcorotask.h>

class PresetFiles;
class PresetsWindow;
class QPushButton;
struct PanelContext;

// Preset save (MS) and recall (MR): each reads the twelve presets from the
// generator into the presets window, shows it, and saves into or recalls the preset
// picked there. Both buttons stay disabled while either runs. The window's file
// buttons (PresetFiles) work while it is open and pick nothing.
class PresetControl final : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QPushButton *saveButton;   // MS
        QPushButton *recallButton; // MR
    };
    PresetControl(const PanelContext &context, Controls controls, QObject *parent = nullptr);

    // Reads the twelve presets into the presets window. False when the read-out gave
    // up ("Communication error" has then been shown).
    QCoro::Task<bool> readPresets();

    // The presets window, created on first use and afterwards only hidden.
    PresetsWindow &presetsWindow();

    // Whether a generator is connected: the buttons are disabled while it is not,
    // even when a save or recall that was running ends meanwhile.
    void setLineUp(bool up);

private:
    QCoro::Task<> save();
    QCoro::Task<> recall();
    // A fresh read-out, then the presets window: the preset picked, 0 for none, or -1
    // when the program or this control is going away (nothing may be touched then).
    QCoro::Task<int> pickPreset();
    void setButtonsEnabled(bool enabled);

    const PanelContext &m_context;
    Controls m_controls;
    QPointer<PresetsWindow> m_presetsWindow;
    PresetFiles *m_files; // the window's Save to file... and Load from file...
    bool m_busy = false;  // a read-out, save or recall runs
    bool m_lineUp = true; // a generator is connected
};
