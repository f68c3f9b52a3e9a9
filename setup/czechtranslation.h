#pragma once

#include <QString>
#include <QTranslator>

// The Czech captions (translations/kvt_cs.qm, built into the program's resources).
// Installing them switches every window's captions to Czech at once; the switch is
// one-way for the program's run and is undone only when this object goes away (so
// each main window, as the tests build them, starts in English).
class CzechTranslation final {
public:
    CzechTranslation();
    ~CzechTranslation();
    Q_DISABLE_COPY(CzechTranslation)

    // Installs the Czech captions for the whole program; the windows receive a
    // LanguageChange and re-translate before this returns. Does nothing the second time.
    void install();
    bool isInstalled() const { return m_installed; }

    // The Czech text of `source` in `context`, whether installed or not; the English
    // source when the translation has none. For the texts that follow the language
    // box each time (the sweep dialogs) rather than the installed captions.
    QString czech(const char *context, const char *source) const;

private:
    QTranslator m_translator;
    bool m_installed = false;
};
