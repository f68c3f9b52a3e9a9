#pragma once

#include <QObject>
#include <QPointer>
#include <optional>
#include <qcoro/qcorotask.h>

#include "setup/setuprules.h"

class Language;
class SetupDialog;
struct PanelContext;

// The setup exchange behind the main window's Config button: reads the display
// operator and the coarse step ("Y", "V"), shows the setup window modally, and writes
// the values back ("Z<mode> <value>", "X<step>") unless the user cancelled. Polling
// is off from its first step to its last, so no poll query comes between these
// commands, and the main window shows the busy pointer meanwhile.
class SetupExchange final : public QObject {
    Q_OBJECT
public:
    // The context's window carries the busy pointer and is the setup window's parent;
    // the setup window's language box chooses `language`.
    SetupExchange(const PanelContext &context, Language &language, QObject *parent = nullptr);
    ~SetupExchange() override;

    // The procedure behind Config; start it through runProcedure. A click while it
    // runs is ignored.
    QCoro::Task<> run();
    bool isRunning() const { return m_running; }

    // The setup window, created (hidden) on first use; it holds the language box.
    SetupDialog &dialog();

    // The firmware-update window opened from the setup window has closed: the setup
    // window shows the stored values again, and polling, which the update switches
    // back on at its end, stays off until the exchange ends.
    void firmwareWindowClosed();

    // The values the setup window showed last and how it ended: those Save sent, or
    // all -1 after Cancel; what the next exchange shows unless the generator answers.
    const std::optional<SetupRules::Values> &keptValues() const { return m_kept; }

private:
    // Save is offered while a generator is connected; the line may go and come back
    // while the window is open.
    void updateSaveAllowed();
    // What the user is told when the line is lost before the setup went out whole:
    // `operatorSent` is the display operator's command when it went out, else empty;
    // `coarseStep` the command that did not.
    QString incompleteSetupText(const QString &operatorSent, const QString &coarseStep) const;

    const PanelContext &m_context;
    Language &m_language;
    QPointer<SetupDialog> m_dialog;
    std::optional<SetupRules::Values> m_kept;
    bool m_running = false;
};
