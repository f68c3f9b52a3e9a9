#include "setup/czechtranslation.h"

#include <QCoreApplication>
#include <QEvent>
#include <QtDebug>

CzechTranslation::CzechTranslation() {
    if (!m_translator.load(QStringLiteral(":/i18n/kvt_cs.qm")))
        qWarning("KVT: the Czech captions are missing from the program's resources");
}

CzechTranslation::~CzechTranslation() {
    if (m_installed)
        QCoreApplication::removeTranslator(&m_translator);
}

void CzechTranslation::install() {
    if (m_installed)
        return;
    m_installed = QCoreApplication::installTranslator(&m_translator);
    // The windows are told by posted LanguageChange events; deliver them now, so the
    // captions have changed when the click that asked for it has been handled.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
}

QString CzechTranslation::czech(const char *context, const char *source) const {
    const QString text = m_translator.translate(context, source);
    return text.isEmpty() ? QString::fromUtf8(source) : text;
}
