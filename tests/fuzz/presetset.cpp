// A preset set file as the presets window's Load from file reads it (any bytes, any
// size).
//
// Promises: a read gives rows or one problem, never both; every row's number is 1-12
// and none comes twice; the rows written as a file read back to the same rows.

#include "fuzzcheck.h"

#include "instrument/presetsetfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const PresetSetFile::ReadResult read = PresetSetFile::read(fuzzBytes(data, size));
    FUZZ_CHECK(read.problem.has_value() == read.rows.isEmpty());
    QList<PresetSetFile::Row> rows;
    bool seen[13] = {};
    for (PresetSetFile::Row row : read.rows) {
        FUZZ_CHECK(row.number >= 1 && row.number <= 12 && !seen[row.number]);
        seen[row.number] = true;
        row.line = 2 + static_cast<int>(rows.size()); // where the written file holds it
        rows << row;
    }
    if (!rows.isEmpty())
        FUZZ_CHECK(PresetSetFile::read(PresetSetFile::write(rows, {})).rows == rows);
    return 0;
}
