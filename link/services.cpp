#include "link/services.h"

#include <QDialog>
#include <QInputDialog>
#include <QMessageBox>

std::optional<QString> QtDialogs::getText(QWidget *parent, const QString &title,
                                          const QString &prompt) {
    bool ok = false;
    const QString answer =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, QString(), &ok);
    if (!ok)
        return std::nullopt;
    return answer;
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
