#include "setup/language.h"

#include <QCoreApplication>
#include <QEvent>
#include <QtDebug>

Language::Language() {
    if (!m_translator.load(QStringLiteral(":/i18n/kvt_cs.qm")))
        qWarning("KVT: the Czech captions are missing from the program's resources");
}

Language::~Language() {
    if (m_installed)
        QCoreApplication::removeTranslator(&m_translator);
}

void Language::setCzechChosen(bool czech) {
    m_czechChosen = czech;
    // One-way: unticking keeps the Czech captions.
    if (!czech || m_installed)
        return;
    m_installed = QCoreApplication::installTranslator(&m_translator);
    // The windows are told by posted LanguageChange events; deliver them now, so the
    // captions have changed when the click that asked for it has been handled.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
}

QString Language::inChosenLanguage(const char *context, const char *source) const {
    if (m_czechChosen) {
        const QString czech = m_translator.translate(context, source);
        if (!czech.isEmpty())
            return czech;
    }
    return QString::fromUtf8(source);
}
