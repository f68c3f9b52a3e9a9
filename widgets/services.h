#pragma once

#include "instrument/programservices.h"

#include <QString>
#include <QStringList>
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
};
