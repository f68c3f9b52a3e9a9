#pragma once

#include "widgets/services.h"

#include <QDialog>
#include <QList>
#include <QPointer>

// widgets/: widget pieces every window folder uses (the real dialogs behind
// Services::dialogs, EntryGuard). Uses widgets/services.h only; panel/, presets/, setup/
// and app/ use it.
//
// The real dialogs behind Services::dialogs: Qt's input dialog (its answer box
// guarded like the program's own entry boxes), message boxes, file dialogs and progress
// dialogs.
class QtDialogs final : public Dialogs {
public:
    std::optional<QString> getText(QWidget *parent, const QString &title,
                                   const QString &prompt) override;
    bool askYesNo(QWidget *parent, const QString &title, const QString &text) override;
    void message(QWidget *parent, const QString &title, const QString &text) override;
    void showModal(QDialog &dialog) override;
    std::optional<QString> chooseItem(QWidget *parent, const QString &title, const QString &prompt,
                                      const QStringList &items) override;
    std::optional<QString> chooseFile(QWidget *parent, FileUse use, const QString &title,
                                      const QString &start, const QString &filter) override;
    std::unique_ptr<Progress> showProgress(QWidget *parent, const QString &title,
                                           const QString &text) override;
    void closeOpen() override;

private:
    // Runs `dialog` modally, known to closeOpen() meanwhile; its result.
    int execOpen(QDialog &dialog);

    QList<QPointer<QDialog>> m_open; // the questions and messages open, innermost last
};
