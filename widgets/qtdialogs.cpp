#include "widgets/qtdialogs.h"

#include "widgets/entryguard.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>
#include <algorithm>

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

std::optional<QString> QtDialogs::chooseFile(QWidget *parent, FileUse use, const QString &title,
                                             const QString &start, const QString &filter) {
    // A dialog of our own rather than QFileDialog's static functions, so that
    // closeOpen() reaches it. Saving asks before it replaces a file (Qt's default) and
    // adds the first type's suffix to a name typed without one.
    QFileDialog dialog(parent, title, start, filter);
    if (use == FileUse::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("csv"));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (execOpen(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

namespace {
// A progress window: a text, a bar and Cancel. Not a QProgressDialog: a modal one runs
// the event loop inside every setValue(), and its Cancel hides it at once, while the
// procedure still finishes its step and puts things back. Here Cancel (or Escape, or
// the close control) only marks the request and greys the button; the window stays
// until the procedure has ended and lets it go. It is not modal itself: the window
// that opened it stops taking clicks while the procedure runs.
class ProgressWindow final : public QDialog {
public:
    ProgressWindow(QWidget *parent, const QString &title, const QString &text) : QDialog(parent) {
        setWindowTitle(title);
        setObjectName(QStringLiteral("progressWindow"));
        m_label = new QLabel(text, this);
        m_label->setWordWrap(true);
        m_bar = new QProgressBar(this);
        m_bar->setRange(0, 1);
        m_bar->setValue(0);
        m_cancelButton =
            new QPushButton(QCoreApplication::translate("ProgressWindow", "Cancel"), this);
        m_cancelButton->setAutoDefault(false);
        connect(m_cancelButton, &QPushButton::clicked, this, [this] { cancel(); });
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(m_label);
        layout->addWidget(m_bar);
        layout->addWidget(m_cancelButton, 0, Qt::AlignRight);
        setMinimumWidth(360);
    }

    void setValue(int done, int total) {
        m_bar->setMaximum(std::max(total, 1));
        m_bar->setValue(std::clamp(done, 0, std::max(total, 1)));
    }
    void setText(const QString &text) { m_label->setText(text); }
    bool cancelled() const { return m_cancelled; }

    void reject() override { cancel(); }

protected:
    void closeEvent(QCloseEvent *event) override {
        cancel();
        event->ignore();
    }

private:
    void cancel() {
        m_cancelled = true;
        m_cancelButton->setEnabled(false);
    }

    QLabel *m_label;
    QProgressBar *m_bar;
    QPushButton *m_cancelButton;
    bool m_cancelled = false;
};

// The window shown until this goes away. It is the parent's child: when the parent
// goes first, it takes the window with it.
class QtProgress final : public Dialogs::Progress {
public:
    QtProgress(QWidget *parent, const QString &title, const QString &text)
        : m_window(new ProgressWindow(parent, title, text)) {
        m_window->show();
    }
    ~QtProgress() override { delete m_window.data(); }
    Q_DISABLE_COPY_MOVE(QtProgress)

    void setValue(int done, int total) override {
        if (m_window)
            m_window->setValue(done, total);
    }
    void setText(const QString &text) override {
        if (m_window)
            m_window->setText(text);
    }
    bool wasCancelled() const override { return m_window && m_window->cancelled(); }

private:
    QPointer<ProgressWindow> m_window;
};
} // namespace

std::unique_ptr<Dialogs::Progress> QtDialogs::showProgress(QWidget *parent, const QString &title,
                                                           const QString &text) {
    return std::make_unique<QtProgress>(parent, title, text);
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
