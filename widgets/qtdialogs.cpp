#include "widgets/qtdialogs.h"

#include "widgets/entryguard.h"

#include <QDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopeGuard>

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
    if (execOpen(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

bool QtDialogs::askYesNo(QWidget *parent, const QString &title, const QString &text) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return execOpen(box) == QMessageBox::Yes;
}

void QtDialogs::message(QWidget *parent, const QString &title, const QString &text) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    execOpen(box);
}

void QtDialogs::showModal(QDialog &dialog) {
    dialog.exec();
}

std::optional<QString> QtDialogs::chooseItem(QWidget *parent, const QString &title,
                                             const QString &prompt, const QStringList &items) {
    // QInputDialog::getItem, run so that closeOpen() reaches it.
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setComboBoxItems(items);
    dialog.setComboBoxEditable(false);
    if (execOpen(dialog) != QDialog::Accepted || dialog.textValue().isEmpty())
        return std::nullopt;
    return dialog.textValue();
}

int QtDialogs::execOpen(QDialog &dialog) {
    m_open.append(&dialog);
    const auto forget = qScopeGuard([this] { m_open.removeLast(); });
    return dialog.exec();
}

void QtDialogs::closeOpen() {
    // Rejected is no button's answer: a Yes/No question reads it as No.
    for (qsizetype i = m_open.size() - 1; i >= 0; --i)
        if (m_open[i])
            m_open[i]->reject();
}
