#include "widgets/entryguard.h"

#include <QLineEdit>

EntryGuard::EntryGuard(const QValidator *inner, QObject *parent)
    : QValidator(parent), m_inner(inner) {}

QValidator::State EntryGuard::validate(QString &input, int &pos) const {
    QString kept;
    kept.reserve(input.size());
    int newPos = pos;
    for (qsizetype i = 0; i < input.size(); ++i) {
        if (input.at(i).category() == QChar::Other_Control) {
            if (i < pos)
                --newPos;
            continue;
        }
        kept.append(input.at(i));
    }
    input = kept;
    pos = newPos;
    return m_inner ? m_inner->validate(input, pos) : Acceptable;
}

void EntryGuard::fixup(QString &input) const {
    if (m_inner)
        m_inner->fixup(input);
}

void guardEntry(QLineEdit *box) {
    // The box keeps its own validator alive; the guard is owned by the box too.
    box->setValidator(new EntryGuard(box->validator(), box));
}
