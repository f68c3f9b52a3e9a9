#pragma once

#include "instrument/connectiontexts.h"
#include "instrument/connectionwindows.h"

#include <QString>
#include <QStringList>
#include <functional>

// Discovery, loss and reconnection told as lines of a log, for the program without a
// window (its standard error, which a service's journal keeps): one line for each port
// that exists and is tried, one when the generator is connected (model, serial number,
// firmware, port), one when its line is lost and one when it is back. A pass that found
// nothing ends with a summary in the texts of the connection-failure window, and the
// next pass starts at COM2 after PassPauseMs, for ever. What a pass says the same as
// the pass before it (its ports, its summary) is not written again, so a rack whose
// generator is switched off does not fill the journal.
class ConnectionLog final : public ConnectionWindows {
public:
    static constexpr int PassPauseMs = 10000;

    // `write` takes one message (a summary is several lines); `packaged`: the program was
    // installed by the Debian package (its permission advice differs).
    ConnectionLog(std::function<void(const QString &message)> write, bool packaged,
                  ConnectionTexts::Platform platform = ConnectionTexts::NativePlatform);

    void showSearching(int) override {}
    void hideSearching() override {}
    FailureAnswer askAfterFailure(const SearchReport &report) override;
    void portTried(int portNumber, const QString &systemName,
                   const std::optional<PortProblem> &problem) override;
    void generatorConnected(const DeviceState &state, const QString &systemName) override;
    void lineLost(int portNumber, const QString &systemName) override;

private:
    std::function<void(const QString &)> m_write;
    bool m_packaged;
    ConnectionTexts::Platform m_platform;
    QStringList m_passLines;     // the port lines of the pass under way
    QStringList m_lastPassLines; // those of the pass before, which found nothing
    QString m_lastSummary;
    bool m_connectedOnce = false;
    bool m_lineUp = false;
};
