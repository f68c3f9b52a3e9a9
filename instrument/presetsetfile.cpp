#include "instrument/presetsetfile.h"

namespace PresetSetFile {

QString describe(const Problem &problem) {
    return problem.what;
}

ReadResult read(QByteArrayView) {
    return {};
}

QByteArray write(const QList<Row> &, const QString &) {
    return {};
}

QString backupName(const QString &, const QDateTime &) {
    return {};
}

bool notInUse(const Row &row) {
    return row.carrierHz <= 0 && row.toneHz <= 0;
}

bool isSweep(const Row &row) {
    return row.mode > 14;
}

std::optional<Problem> check(const Row &, qint64) {
    return std::nullopt;
}

bool differs(const Row &, const Row &) {
    return false;
}

std::optional<Row> fromRecord(int, QStringView) {
    return std::nullopt;
}

} // namespace PresetSetFile
