// A preset set loaded into the simulated generator over the real serial port: each
// changed preset written and read back, the generator's settings put back, in both of
// the simulator's answers to S during a sweep; and a line lost in the middle.
#include "tests/support/simpanel.h"

#include "instrument/instrument.h"

namespace {

using PresetSetFile::Row;
using End = Instrument::PresetLoadResult::End;

class PresetLoadRig : public SimulatedPanel {
protected:
    void start(bool sweepPresetsStored) {
        sim::SimConfig config;
        config.bootMs = 100;
        config.carrier = 3650000;
        config.modFreq = 700;
        config.modMode = 3;
        config.sweepPresetsStored = sweepPresetsStored;
        ASSERT_NO_FATAL_FAILURE(startPanel(config, 5));
    }
    // Runs one of the Instrument's procedures to its end on the event loop.
    template <typename T> T finish(QCoro::Task<T> task) {
        std::optional<T> out;
        auto done = task.then([&out](T value) { out = std::move(value); });
        EXPECT_TRUE(runUntil([&out] { return out.has_value(); }, 60000));
        return out.value_or(T{});
    }
    // `afterFirst` runs once the first preset is written; true cancels the rest.
    Instrument::PresetLoadResult load(const QList<Row> &rows, QList<int> *progressed = nullptr,
                                      std::function<bool()> afterFirst = {}) {
        const Instrument::PresetLoadPlan plan = finish(instrument->planPresetLoad(rows));
        EXPECT_FALSE(plan.problem) << plan.problem->what.toStdString();
        auto done = std::make_shared<int>(0);
        return finish(instrument->loadPresets(
            plan,
            [=](int written, int, int preset) {
                *done = written;
                if (progressed)
                    *progressed << preset;
            },
            [=] { return *done == 1 && afterFirst && afterFirst(); }));
    }
};

class PresetLoadOnSimulator : public PresetLoadRig, public testing::WithParamInterface<bool> {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(start(GetParam())); }
};

TEST_P(PresetLoadOnSimulator, WritesAPlainAndASweepPresetChecksThemAndPutsTheSetBack) {
    const bool sweepsStored = GetParam();
    const sim::PresetTable factory = simulator->presets();
    record().activePreset = 4; // the panel's mark from an earlier recall
    const QList<Row> rows{{3, 7000000, 0, 16, 7100000, 500, 5},
                          {9, 0, 0, 0, 0, 0, 0}, // not in use: left alone
                          {1, 7050000, 1000, 2, 0, 0, 0},
                          {2, 14070000, 800, 1, 0, 0, 0}};
    const Instrument::PresetLoadPlan plan = finish(instrument->planPresetLoad(rows));
    ASSERT_FALSE(plan.problem);
    EXPECT_EQ(plan.unchanged, 1);
    EXPECT_EQ(plan.notInUse, QList<int>{9});
    ASSERT_EQ(plan.present.size(), 12);

    QList<int> progressed;
    const Instrument::PresetLoadResult result = load(rows, &progressed);
    EXPECT_EQ(result.end, End::Finished);
    EXPECT_EQ(progressed, (QList<int>{3, 2}));
    EXPECT_EQ(result.written, sweepsStored ? (QList<int>{3, 2}) : QList<int>{2});
    EXPECT_EQ(result.sweepNotStored, sweepsStored ? QList<int>{} : QList<int>{3});
    EXPECT_TRUE(result.mismatched.isEmpty());
    EXPECT_EQ(simulator->preset(2), (sim::Preset{2, 14070000, 800, 1, 0, 0, 0}));
    EXPECT_EQ(simulator->preset(3).mode > 14, sweepsStored);
    EXPECT_EQ(simulator->preset(9), factory[8]);
    // The generator and the panel as they were before the load.
    EXPECT_EQ(simulator->carrier(), 3650000);
    EXPECT_EQ(simulator->modFreq(), 700);
    EXPECT_EQ(simulator->modMode(), 3);
    EXPECT_TRUE(simulator->outputOn());
    EXPECT_FALSE(simulator->sweeping());
    EXPECT_EQ(record().activePreset, 4);
    EXPECT_EQ(record().carrierFreq, 3650000);

    // The kept set written back leaves the generator as it left the factory, but for
    // preset 2's tone: 0 sets none, so it keeps the generator's own.
    const Instrument::PresetLoadResult back = load(plan.present);
    EXPECT_EQ(back.end, End::Finished);
    EXPECT_EQ(back.written, (QList<int>{2, 3}));
    sim::PresetTable expected = factory;
    expected[1].mod = 700;
    EXPECT_EQ(simulator->presets(), expected);
}

INSTANTIATE_TEST_SUITE_P(SDuringASweep, PresetLoadOnSimulator, testing::Values(false, true),
                         [](const auto &info) {
                             return info.param ? "StoresASweepPreset" : "StoresAPlainPreset";
                         });

class PresetLoadStoppedMidway : public PresetLoadRig {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(start(false)); }
    const QList<Row> rows{{1, 1000000, 0, 0, 0, 0, 0}, {2, 2000000, 0, 0, 0, 0, 0}};
};

TEST_F(PresetLoadStoppedMidway, ByALostLineTellsWhichPresetsWereWritten) {
    const Instrument::PresetLoadResult result = load(rows, nullptr, [this] {
        simulator.reset(); // the cable pulled
        return false;
    });
    EXPECT_EQ(result.end, End::LineLost);
    EXPECT_EQ(result.written, QList<int>{1});
    EXPECT_TRUE(result.mismatched.isEmpty());
}

TEST_F(PresetLoadStoppedMidway, ByCancelPutsTheSettingsBack) {
    const Instrument::PresetLoadResult result = load(rows, nullptr, [] { return true; });
    EXPECT_EQ(result.end, End::Cancelled);
    EXPECT_EQ(result.written, QList<int>{1});
    EXPECT_EQ(simulator->preset(2), sim::defaultPresets()[1]);
    EXPECT_EQ(simulator->carrier(), 3650000);
    EXPECT_TRUE(simulator->outputOn());
}

} // namespace
