#pragma once

#include "instrument/instrument.h"
#include "instrument/presetsetfile.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <qcoro/qcorotask.h>

class PresetsWindow;
struct PanelContext;

// The presets window's "Save to file..." and "Load from file...": the twelve presets
// kept in a CSV file, and a file's set written back into the generator. The Instrument
// reads, checks and writes the presets; this asks the user (file, confirmation,
// progress), writes the files and tells the outcome.
//
// Before a load sends anything, the set the generator holds is kept in the backup
// folder as presets-<serial>-<yyyymmdd>-<hhmmss>.csv; without that file nothing is
// sent. While either runs the presets window takes no clicks.
class PresetFiles final : public QObject {
    Q_OBJECT
public:
    // `readAfresh` fills the presets window from the generator again (after a load).
    PresetFiles(const PanelContext &context, std::function<QCoro::Task<bool>()> readAfresh,
                QObject *parent = nullptr);

    // The window whose buttons start a save or a load, and over which they ask.
    void attach(PresetsWindow &window);

private:
    QCoro::Task<> saveToFile();
    QCoro::Task<> loadFromFile();

    // The messages: a problem in a file (its line, column and what), a load refused
    // while the generator is busy, a row in words, the end of a load.
    static QString problemText(const QString &file, const PresetSetFile::Problem &problem);
    static QString refusedText();
    static QString rowText(const PresetSetFile::Row &row);
    static QString resultText(const Instrument::PresetLoadResult &result,
                              const QList<PresetSetFile::Row> &changed);

    // Marks a save or load running and the window busy until the guard returned goes
    // (or this has gone).
    auto markRunning();
    // Whether the program or the window is going away: nothing may be touched.
    bool gone() const;
    QDateTime now() const;
    // The "#" line of a file written now: model, serial, firmware, date and time.
    QString origin() const;
    QString serial() const;
    // Writes `bytes` to `path` whole or not at all; the reason when it could not.
    static std::optional<QString> writeWhole(const QString &path, const QByteArray &bytes);
    // Keeps `present` in the backup folder; the file's path, or the reason it could not.
    struct Kept {
        QString path;
        QString error;
    };
    Kept keepPresentSet(const QList<PresetSetFile::Row> &present) const;
    // The window's rows for a set read from the generator.
    void showSet(const QList<PresetSetFile::Row> &rows);
    void message(const QString &text);
    // The first folder or file the file chooser shows.
    QString startFor(const QString &fileName) const;

    const PanelContext &m_context;
    std::function<QCoro::Task<bool>()> m_readAfresh;
    QPointer<PresetsWindow> m_window;
    QString m_lastFolder; // the folder of the file last chosen
    bool m_running = false;
};
