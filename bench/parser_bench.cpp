// Reply parser throughput: a realistic poll reply stream (the four frames of one
// poll, CR LF after each) fed in reads of the sizes a serial port delivers.
#include "link/devicestate.h"
#include "link/replyparser.h"

#include <benchmark/benchmark.h>

namespace {

QByteArray pollReplies(int polls) {
    QByteArray stream;
    for (int i = 0; i < polls; ++i) {
        stream += "#F" + QByteArray::number(7050000 + i) + "\r\n";
        stream += "#A1000\r\n#M1\r\n#S1\r\n";
    }
    return stream;
}

constexpr int FramesPerPoll = 4;

// Read sizes: 1 (byte by byte), 16 (a USB adapter's small packets), 115 (about 10 ms
// at 115200 bit/s) and 256 (the largest read the program asks for).
void BM_ParsePollReplies(benchmark::State &bench) {
    const qsizetype readSize = bench.range(0);
    const int polls = 256;
    const QByteArray stream = pollReplies(polls);
    std::vector<QByteArray> reads;
    for (qsizetype pos = 0; pos < stream.size(); pos += readSize)
        reads.push_back(stream.mid(pos, readSize));

    DeviceState state;
    ReplyParser parser(state);
    qsizetype maxKept = 0;
    for (auto _ : bench) {
        for (const QByteArray &read : reads) {
            benchmark::DoNotOptimize(parser.feed(read));
            maxKept = std::max(maxKept, parser.keptCharacters());
        }
    }
    bench.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(bench.iterations()) * polls * FramesPerPoll,
                           benchmark::Counter::kIsRate);
    bench.counters["maxKeptChars"] = static_cast<double>(maxKept);
    bench.SetBytesProcessed(bench.iterations() * stream.size());
}
BENCHMARK(BM_ParsePollReplies)->Arg(1)->Arg(16)->Arg(115)->Arg(256);

// A flood without CR: the kept text must stay bounded however long it runs.
void BM_FloodWithoutCr(benchmark::State &bench) {
    const QByteArray read = "#F" + QByteArray(254, '7');
    DeviceState state;
    ReplyParser parser(state);
    qsizetype maxKept = 0;
    for (auto _ : bench) {
        benchmark::DoNotOptimize(parser.feed(read));
        maxKept = std::max(maxKept, parser.keptCharacters());
    }
    bench.counters["maxKeptChars"] = static_cast<double>(maxKept);
    bench.SetBytesProcessed(bench.iterations() * read.size());
}
BENCHMARK(BM_FloodWithoutCr);

} // namespace

BENCHMARK_MAIN();
