#pragma once

#include "instrument/programservices.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QDialog;
class QWidget;

// The program's modal questions and messages. The real implementation uses Qt's
// dialogs (widgets/qtdialogs.h); tests script the answers and record what was asked.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A modal text-input dialog; nullopt when the user cancelled.
    virtual std::optional<QString> getText(QWidget *parent, const QString &title,
                                           const QString &prompt) = 0;
    // A Yes/No question with Yes as the default button.
    virtual bool askYesNo(QWidget *parent, const QString &title, const QString &text) = 0;
    // A message with only an OK button.
    virtual void message(QWidget *parent, const QString &title, const QString &text) = 0;
    // Shows one of the program's own windows modally until it hides itself.
    virtual void showModal(QDialog &dialog) = 0;
    // One of `items`, chosen from a list that cannot be edited; nullopt when the user
    // cancelled.
    virtual std::optional<QString> chooseItem(QWidget *parent, const QString &title,
                                              const QString &prompt, const QStringList &items) = 0;
    // A file chosen to read (one that exists) or to write (an existing one only once
    // the user agreed to replace it); nullopt when the user cancelled. `start` is the
    // folder shown first, or a file in it to suggest; `filter` lists the file types as
    // Qt's file dialogs take them ("Preset sets (*.csv)").
    enum class FileUse { Open, Save };
    virtual std::optional<QString> chooseFile(QWidget *parent, FileUse use, const QString &title,
                                              const QString &start, const QString &filter) = 0;

    // A progress window with Cancel, open from showProgress() until the object goes
    // away. It does not block: the procedure it shows runs on and asks wasCancelled()
    // where it can stop.
    class Progress {
    public:
        virtual ~Progress() = default;
        virtual void setValue(int done, int total) = 0;
        virtual void setText(const QString &text) = 0;
        virtual bool wasCancelled() const = 0;
    };
    virtual std::unique_ptr<Progress> showProgress(QWidget *parent, const QString &title,
                                                   const QString &text) = 0;

    // Closes the questions and messages open now as their close control would: a Yes/No
    // question answers No, a text or item question is cancelled. The program's own
    // windows shown with showModal stay.
    virtual void closeOpen() = 0;
};

// Everything the main window takes from the outside world, so that tests can run it
// against a fake port, a manual clock and scripted dialogs: the program's services and
// the dialogs that ask the user.
struct Services : ProgramServices {
    Dialogs *dialogs = nullptr;
    // The date and time now: names the kept preset sets and dates the saved ones.
    std::function<QDateTime()> now;
};
