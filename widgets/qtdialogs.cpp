#include "widgets/qtdialogs.h"

#include "widgets/entryguard.h"

#include <QDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

std::optional<QString> QtDialogs::getText(QWidget *parent, const QString &title,
                                          const QString &prompt) {
    // QInputDialog::getText, with the answer box guarded: the sweep and frequency
    // answers go into commands.
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    if (auto *box = dialog.findChild<QLineEdit *>())
        guardEntry(box);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

bool QtDialogs::askYesNo(QWidget *parent, const QString &title, const QString &text) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtDialogs::message(QWidget *parent, const QString &title, const QString &text) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

void QtDialogs::showModal(QDialog &dialog) {
    dialog.exec();
}

std::optional<QString> QtDialogs::chooseItem(QWidget *parent, const QString &title,
                                             const QString &prompt, const QStringList &items) {
    bool ok = false;
    const QString item = QInputDialog::getItem(parent, title, prompt, items, 0, false, &ok);
    if (!ok || item.isEmpty())
        return std::nullopt;
    return item;
}
