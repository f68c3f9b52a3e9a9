#pragma once

#include <QString>
#include <QTranslator>

// The interface language, owned by the main window; the setup window's language box
// chooses it. Every start is in English. Ticking the box installs the Czech captions
// (translations/kvt_cs.qm, built into the program's resources) for the whole program:
// each window hears of it as a LanguageChange and sets its captions again in its
// retranslate(), and a window created later sets them in Czech from the start. The
// captions stay Czech for the rest of the run, however the box is ticked afterwards,
// until this object goes away (so each main window, as the tests build them, starts
// in English). The sweep dialogs follow the box itself each time they ask.
class Language final {
public:
    Language();
    ~Language();
    Q_DISABLE_COPY(Language)

    // The language box was ticked or unticked. The first tick switches the captions
    // to Czech; the windows have re-translated before this returns.
    void setCzechChosen(bool czech);
    // The box is ticked now.
    bool czechChosen() const { return m_czechChosen; }

    // `source` of `context` in the language the box chooses now: Czech while it is
    // ticked (the English source where the translation has none), English otherwise.
    QString inChosenLanguage(const char *context, const char *source) const;

private:
    QTranslator m_translator;
    bool m_czechChosen = false;
    bool m_installed = false;
};
