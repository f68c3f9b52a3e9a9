// Replays every file of tests/fuzz/corpus/<target>/ through its fuzz target, so the seeds
// and the reproducers of fixed findings run with the other tests, in the sanitizer build
// too, without clang or open-ended fuzzing. In this build each target's entry point is
// renamed fuzz_<target> (tests/fuzz/CMakeLists.txt), so one executable holds them all.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cstdio>
#include <ostream>

#define KVT_FUZZ_TARGET(name) extern "C" int fuzz_##name(const uint8_t *data, size_t size);
#include "fuzztargets.h"
#undef KVT_FUZZ_TARGET

namespace {

struct Target {
    const char *name;
    int (*run)(const uint8_t *data, size_t size);
};

const Target targets[] = {
#define KVT_FUZZ_TARGET(name) {#name, fuzz_##name},
#include "fuzztargets.h"
#undef KVT_FUZZ_TARGET
};

// The test's name says the target; so does its parameter in CTest's list.
void PrintTo(const Target &target, std::ostream *out) {
    *out << target.name;
}

class CorpusReplay : public testing::TestWithParam<Target> {};

TEST_P(CorpusReplay, EveryFileKeepsThePromises) {
    const QDir corpus(QStringLiteral(KVT_FUZZ_CORPUS) + QLatin1Char('/') +
                      QLatin1String(GetParam().name));
    const QStringList files = corpus.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(files.isEmpty()) << "no seeds in " << qPrintable(corpus.path());
    for (const QString &name : files) {
        QFile file(corpus.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(file.fileName());
        const QByteArray bytes = file.readAll();
        // A broken promise aborts the run: the last file named here is the one.
        std::fprintf(stderr, "replaying %s\n", qPrintable(file.fileName()));
        GetParam().run(reinterpret_cast<const uint8_t *>(bytes.constData()),
                       static_cast<size_t>(bytes.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(Fuzz, CorpusReplay, testing::ValuesIn(targets),
                         [](const testing::TestParamInfo<Target> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
