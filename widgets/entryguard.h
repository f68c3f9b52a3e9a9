#pragma once

#include <QValidator>

class QLineEdit;

// Keeps control characters (CR, LF, TAB, ...) out of a box whose text goes into a
// command, whether they are typed, pasted or set: a pasted line break would otherwise
// end the command early on the line and send the rest as a command of its own. The
// characters are dropped from the text and the rest is kept as it stands; a validator
// the box had already (digits only, ...) then judges what remains.
class EntryGuard final : public QValidator {
    Q_OBJECT
public:
    explicit EntryGuard(const QValidator *inner, QObject *parent = nullptr);
    State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;

private:
    const QValidator *m_inner;
};

// Puts an EntryGuard on the box, in front of the validator it has (if any).
void guardEntry(QLineEdit *box);
