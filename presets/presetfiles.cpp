#include "presets/presetfiles.h"

#include "instrument/instrument.h"
#include "link/presetrecord.h"
#include "presets/presetswindow.h"
#include "widgets/panelcontext.h"
#include "widgets/services.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <QStringList>
#include <algorithm>

namespace {

QString presetList(QList<int> list) {
    std::sort(list.begin(), list.end());
    QStringList out;
    for (int n : list)
        out << QString::number(n);
    return out.join(QStringLiteral(", "));
}

} // namespace

PresetFiles::PresetFiles(const PanelContext &context, std::function<QCoro::Task<bool>()> readAfresh,
                         QObject *parent)
    : QObject(parent), m_context(context), m_readAfresh(std::move(readAfresh)) {}

void PresetFiles::attach(PresetsWindow &window) {
    m_window = &window;
    connect(&window, &PresetsWindow::saveToFileRequested, this,
            [this] { startProcedure(m_context, saveToFile()); });
    connect(&window, &PresetsWindow::loadFromFileRequested, this,
            [this] { startProcedure(m_context, loadFromFile()); });
}

bool PresetFiles::gone() const {
    return m_context.ending() || !m_window;
}

QString PresetFiles::serial() const {
    const int32_t id = m_context.state.deviceId;
    return id > 0 ? QString::number(id) : QString();
}

QDateTime PresetFiles::now() const {
    return m_context.services.now ? m_context.services.now() : QDateTime::currentDateTime();
}

QString PresetFiles::origin() const {
    const DeviceState &state = m_context.state;
    const QString id = serial();
    return QStringLiteral("# %1 serial %2 firmware %3 %4")
        .arg(state.modelName.isEmpty() ? QStringLiteral("KVT") : state.modelName,
             id.isEmpty() ? QStringLiteral("unknown") : id,
             state.firmwareVersion.isEmpty() ? QStringLiteral("unknown") : state.firmwareVersion,
             now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

QString PresetFiles::startFor(const QString &fileName) const {
    if (m_lastFolder.isEmpty())
        return fileName;
    return fileName.isEmpty() ? m_lastFolder : QDir(m_lastFolder).filePath(fileName);
}

void PresetFiles::message(const QString &text) {
    QWidget *parent = m_window ? static_cast<QWidget *>(m_window.data()) : m_context.window;
    m_context.services.dialogs->message(parent, m_window ? m_window->windowTitle() : QString(),
                                        text);
}

std::optional<QString> PresetFiles::writeWhole(const QString &path, const QByteArray &bytes) {
    // Written beside the file under another name, then put in its place: a file of the
    // same name stays as it was unless the new one was written whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(bytes) != bytes.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

PresetFiles::Kept PresetFiles::keepPresentSet(const QList<PresetSetFile::Row> &present) const {
    const QString folder = m_context.services.backupFolder;
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return {QString(),
                tr("the folder %1 cannot be made").arg(QDir::toNativeSeparators(folder))};
    const QString name = PresetSetFile::backupName(serial(), now());
    // A set kept earlier in the same second is not overwritten: it may be the only copy
    // of what the generator held before the previous load.
    QString path = QDir(folder).filePath(name);
    for (int n = 2; QFileInfo::exists(path); ++n) {
        QString numbered = name;
        numbered.insert(numbered.lastIndexOf(u'.'), QStringLiteral("-%1").arg(n));
        path = QDir(folder).filePath(numbered);
    }
    if (const auto error = writeWhole(path, PresetSetFile::write(present, origin())))
        return {QString(), *error};
    return {path, QString()};
}

void PresetFiles::showSet(const QList<PresetSetFile::Row> &rows) {
    if (!m_window)
        return;
    for (const PresetSetFile::Row &r : rows) {
        const QString record = QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                                   .arg(r.number)
                                   .arg(r.carrierHz)
                                   .arg(r.toneHz)
                                   .arg(r.mode)
                                   .arg(r.topHz)
                                   .arg(r.stepHz)
                                   .arg(r.intervalS);
        m_window->setRow(r.number, Presets::rowFor(r.number, record));
    }
}

auto PresetFiles::markRunning() {
    m_running = true;
    m_window->setFileWorkRunning(true);
    return qScopeGuard([self = QPointer<PresetFiles>(this)] {
        if (!self)
            return;
        self->m_running = false;
        if (self->m_window)
            self->m_window->setFileWorkRunning(false);
    });
}

QCoro::Task<> PresetFiles::saveToFile() {
    if (m_running || !m_window)
        co_return;
    const QPointer<PresetFiles> self(this);
    const auto running = markRunning();

    const QString id = serial();
    const std::optional<QString> path = m_context.services.dialogs->chooseFile(
        m_window, Dialogs::FileUse::Save, tr("Save the presets to a file"),
        startFor(id.isEmpty() ? QStringLiteral("presets.csv")
                              : QStringLiteral("presets-%1.csv").arg(id)),
        tr("Preset sets (*.csv)"));
    if (!self || gone() || !path || path->isEmpty())
        co_return;
    m_lastFolder = QFileInfo(*path).absolutePath();

    const auto rows = co_await m_context.instrument.readPresetSet();
    if (!self || gone())
        co_return;
    const QString shown = QDir::toNativeSeparators(*path);
    if (!rows) {
        message(tr("The presets could not all be read from the generator, so %1 was not "
                   "written.")
                    .arg(shown));
        co_return;
    }
    showSet(*rows);
    if (const auto error = writeWhole(*path, PresetSetFile::write(*rows, origin()))) {
        message(tr("The presets could not be saved to %1 (%2). A file of that name is left as "
                   "it was.")
                    .arg(shown, *error));
        co_return;
    }
    message(tr("The twelve presets were saved to %1.").arg(shown));
}

QCoro::Task<> PresetFiles::loadFromFile() {
    if (m_running || !m_window)
        co_return;
    const QPointer<PresetFiles> self(this);
    const auto running = markRunning();

    const std::optional<QString> path = m_context.services.dialogs->chooseFile(
        m_window, Dialogs::FileUse::Open, tr("Load the presets from a file"), startFor(QString()),
        tr("Preset sets (*.csv)"));
    if (!self || gone() || !path || path->isEmpty())
        co_return;
    m_lastFolder = QFileInfo(*path).absolutePath();
    const QString shown = QDir::toNativeSeparators(*path);

    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly)) {
        message(tr("%1 could not be read (%2).").arg(shown, file.errorString()));
        co_return;
    }
    // Read no more than a preset set can take: a wrong file chosen may be huge.
    const QByteArray bytes = file.read(PresetSetFile::MaxBytes + 1);
    if (bytes.size() > PresetSetFile::MaxBytes) {
        message(tr("%1 is not a preset set: it is larger than %2 bytes. Nothing was sent to the "
                   "generator.")
                    .arg(shown)
                    .arg(PresetSetFile::MaxBytes));
        co_return;
    }
    const PresetSetFile::ReadResult read = PresetSetFile::read(bytes);
    if (read.problem) {
        message(problemText(shown, *read.problem));
        co_return;
    }
    if (!m_context.instrument.connected()) {
        message(tr("No generator is connected. Nothing was sent."));
        co_return;
    }
    if (m_context.state.sweeping || m_context.instrument.keying() ||
        m_context.instrument.telegraphFrameOpen()) {
        message(refusedText());
        co_return;
    }

    // Every row is checked and the present set read before anything is sent.
    const Instrument::PresetLoadPlan plan = co_await m_context.instrument.planPresetLoad(read.rows);
    if (!self || gone())
        co_return;
    if (plan.problem) {
        message(problemText(shown, *plan.problem));
        co_return;
    }
    showSet(plan.present);
    if (plan.changed.isEmpty()) {
        message(tr("The generator holds the set of %1 already: nothing differs, so nothing was "
                   "sent.")
                    .arg(shown));
        co_return;
    }
    QStringList changes;
    for (const PresetSetFile::Row &row : plan.changed) {
        const auto now = std::find_if(plan.present.cbegin(), plan.present.cend(),
                                      [&](const auto &p) { return p.number == row.number; });
        changes << (now == plan.present.cend()
                        ? tr("Preset %1: %2").arg(row.number).arg(rowText(row))
                        : tr("Preset %1: %2 (now %3)")
                              .arg(row.number)
                              .arg(rowText(row), rowText(*now)));
    }
    changes << tr("Unchanged: %1. Not in use, left as they are: %2.")
                   .arg(plan.unchanged)
                   .arg(plan.notInUse.isEmpty() ? tr("none") : presetList(plan.notInUse));
    const bool go = m_context.services.dialogs->askYesNo(
        m_window, m_window->windowTitle(),
        tr("Write these presets from %1 into the generator?\n\n%2\n\nThe set it holds now is "
           "kept first in %3.")
            .arg(shown, changes.join(u'\n'),
                 QDir::toNativeSeparators(m_context.services.backupFolder)));
    if (!self || gone() || !go)
        co_return;

    // The set the generator holds is kept before the first line goes out; a load whose
    // undo cannot be kept does not start.
    const Kept kept = keepPresentSet(plan.present);
    if (kept.path.isEmpty()) {
        message(tr("The set the generator holds now could not be kept in %1 (%2), so nothing was "
                   "sent.")
                    .arg(QDir::toNativeSeparators(m_context.services.backupFolder), kept.error));
        co_return;
    }
    const QString keptShown = QDir::toNativeSeparators(kept.path);

    const int total = static_cast<int>(plan.changed.size());
    std::unique_ptr<Dialogs::Progress> progress = m_context.services.dialogs->showProgress(
        m_window, tr("Loading presets"), tr("Writing %1 presets...").arg(total));
    Dialogs::Progress *shownProgress = progress.get();
    const Instrument::PresetLoadResult result = co_await m_context.instrument.loadPresets(
        plan,
        [shownProgress](int doneCount, int totalCount, int preset) {
            shownProgress->setValue(doneCount, totalCount);
            shownProgress->setText(tr("Preset %1 written and read back (%2 of %3).")
                                       .arg(preset)
                                       .arg(doneCount)
                                       .arg(totalCount));
        },
        [shownProgress] { return shownProgress->wasCancelled(); });
    if (!self || gone())
        co_return;
    // The table shows what the generator holds after the load, read afresh.
    if (result.end != Instrument::PresetLoadResult::End::Refused &&
        m_context.instrument.connected() && m_readAfresh) {
        progress->setText(tr("Reading the presets back..."));
        co_await m_readAfresh();
        if (!self || gone())
            co_return;
    }
    progress.reset();
    message(resultText(result, plan.changed) + QStringLiteral("\n\n") +
            tr("The set the generator held before is kept in %1.").arg(keptShown));
}

QString PresetFiles::problemText(const QString &file, const PresetSetFile::Problem &problem) {
    // Translated now, not when the problem was found: the language may have switched
    // while the window was open.
    return tr("%1 was not loaded; nothing was sent to the generator.\n\n%2")
        .arg(file, PresetSetFile::describe(problem));
}

QString PresetFiles::refusedText() {
    return tr("The presets cannot be loaded now: the generator is busy with a sweep, Morse "
              "keying, the radiotelegraph frame or a remote command. End it, then load again. "
              "Nothing was sent.");
}

QString PresetFiles::rowText(const PresetSetFile::Row &row) {
    if (PresetSetFile::notInUse(row))
        return tr("not in use");
    const QString tone = row.toneHz > 0 ? tr(", tone %1 Hz").arg(row.toneHz) : QString();
    if (PresetSetFile::isSweep(row))
        return tr("sweep %1 to %2 Hz%3, step %4 Hz, %5 s")
            .arg(row.carrierHz)
            .arg(row.topHz)
            .arg(tone)
            .arg(row.stepHz)
            .arg(row.intervalS);
    return tr("%1 Hz%2, mode %3").arg(row.carrierHz).arg(tone).arg(row.mode);
}

QString PresetFiles::resultText(const Instrument::PresetLoadResult &result,
                                const QList<PresetSetFile::Row> &changed) {
    using End = Instrument::PresetLoadResult::End;
    const QString written = result.written.isEmpty() ? tr("none") : presetList(result.written);
    QStringList lines;
    switch (result.end) {
    case End::Refused:
        // The window checked what it could see before; the Instrument judges again when
        // the load starts.
        return result.refusal == Instrument::Outcome::NoGenerator
                   ? tr("No generator is connected. Nothing was sent.")
                   : refusedText();
    case End::Finished:
        lines << tr("%1 presets written and checked (%2 unchanged, %3 not in use)")
                     .arg(result.written.size())
                     .arg(result.unchanged)
                     .arg(result.notInUse.size());
        break;
    case End::Cancelled:
        lines << tr("The load was cancelled. Written and checked before that: %1. The "
                    "generator's settings were put back.")
                     .arg(written);
        break;
    case End::LineLost:
        lines << tr("The line to the generator was lost during the load. Written and checked "
                    "before that: %1.")
                     .arg(written);
        break;
    }
    QList<int> mismatched;
    for (int n : result.mismatched)
        if (!result.sweepNotStored.contains(n))
            mismatched << n;
    if (!mismatched.isEmpty())
        lines << tr("Did not read back as written: %1.").arg(presetList(mismatched));
    if (!result.sweepNotStored.isEmpty())
        lines << tr("Sweep presets %1 cannot be written from the PC on this generator: they read "
                    "back as plain presets.")
                     .arg(presetList(result.sweepNotStored));
    // A line lost after a preset's S and before its read-back leaves it unknown.
    QList<int> unknown;
    for (const PresetSetFile::Row &row : changed)
        if (!result.written.contains(row.number) && !result.mismatched.contains(row.number) &&
            !result.sweepNotStored.contains(row.number))
            unknown << row.number;
    if (result.end == End::LineLost && !unknown.isEmpty())
        lines
            << tr("Not written, or written without being read back: %1.").arg(presetList(unknown));
    return lines.join(QStringLiteral("\n"));
}
