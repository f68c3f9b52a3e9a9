#pragma once

#include "instrument/connectiontexts.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QPushButton;

// The connection-failure window: shown when no port up to 64 answered. Retry starts
// discovery again at port 2, Exit ends the program, "Recover firmware..." writes the
// firmware of a generator that no longer announces itself. Below its fixed texts it says
// which ports were tried, lists those that exist but could not be used, and why, and where
// Retry starts, so the user knows what to fix.
class ConnectionFailureDialog final : public QDialog {
    Q_OBJECT
public:
    // The system whose advice the window adds below the list of ports (on Linux, how to
    // see whether the adapter is there at all). Tests choose it.
    using Platform = ConnectionTexts::Platform;
    static constexpr Platform NativePlatform = ConnectionTexts::NativePlatform;

    explicit ConnectionFailureDialog(QWidget *parent = nullptr, Platform platform = NativePlatform);

    // Which port numbers the search tried before the window was shown, and where Retry
    // starts the next search.
    using SearchedPorts = ConnectionTexts::SearchedPorts;
    void setSearchedPorts(const SearchedPorts &searched);
    // The ports that exist but could not be used, and why; `anyPortFound` is false when
    // none of the ports tried exists.
    void setPortProblems(const QStringList &problems, bool anyPortFound = true);
    // The user's answer when the window was last shown: true for Retry; Exit and the
    // window's close control end the program.
    bool retryChosen() const { return m_retry; }
    // Whether "Recover firmware..." can be used (some port exists).
    void setRecoveryPossible(bool possible);
    // Ends the window as Retry does (after a recovery).
    void retry();

Q_SIGNALS:
    // "Recover firmware..." was clicked; the window stays open.
    void recoverRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    void showPortProblems();

    QLabel *m_headingLabel;       // heading "Communication error !"
    QLabel *m_adviceLabel;        // explanation of what to check
    QLabel *m_cableImage;         // picture of a disconnected cable
    QLabel *m_portProblemsLabel;  // the ports that could not be used, and why
    QPushButton *m_retryButton;   // Retry
    QPushButton *m_exitButton;    // Exit
    QPushButton *m_recoverButton; // "Recover firmware...": a generator whose firmware fails
    bool m_retry = false;
    Platform m_platform;
    QStringList m_portProblems;
    bool m_anyPortFound = true;
    SearchedPorts m_searched;
};
