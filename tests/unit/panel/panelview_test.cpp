#include "link/devicestate.h"
#include "panel/panelview.h"

#include <gtest/gtest.h>

#include "tests/support/printers.h"

#include <functional>

namespace {

// A connected generator in manual tuning, output on, no modulation.
DeviceState baseState() {
    DeviceState s;
    s.carrierFreq = 7050000;
    s.modFreq = 1000;
    s.modMode = 1;
    s.outputOn = 1;
    return s;
}

struct RenderCase {
    const char *name;
    std::function<void(DeviceState &)> change;
    const char *carrier;
    const char *modulation;
    std::optional<QString> modKind;
    const char *mode;
    bool outputLamp;
    bool sweepLamp;
    bool upDown;
};

TEST(PanelViewTest, Render) {
    const QString none = QStringLiteral("Mod. : None");
    const QString still = QStringLiteral("Mod. : Still");
    const RenderCase cases[] = {
        {"manual", [](DeviceState &) {}, "7.050.000", "1000", still, "MAN", true, false, true},
        {"beep", [](DeviceState &s) { s.modMode = 2; }, "7.050.000", "1000",
         QStringLiteral("Mod. : Beep"), "MAN", true, false, true},
        {"trill", [](DeviceState &s) { s.modMode = 3; }, "7.050.000", "1000",
         QStringLiteral("Mod. : Trill"), "MAN", true, false, true},
        {"no modulation empties the readout", [](DeviceState &s) { s.modMode = 0; }, "7.050.000",
         "", none, "MAN", true, false, true},
        {"unknown mode leaves the line and shows the frequency",
         [](DeviceState &s) { s.modMode = 5; }, "7.050.000", "1000", std::nullopt, "MAN", true,
         false, true},
        {"negative mode", [](DeviceState &s) { s.modMode = -1; }, "7.050.000", "1000", std::nullopt,
         "MAN", true, false, true},
        {"output off", [](DeviceState &s) { s.outputOn = 0; }, "0", "OFF", still, "MAN", false,
         false, true},
        {"output off without modulation", [](DeviceState &s) { s.outputOn = 0, s.modMode = 0; },
         "0", "OFF", none, "MAN", false, false, true},
        {"output 2 renders like 1", [](DeviceState &s) { s.outputOn = 2; }, "7.050.000", "1000",
         still, "MAN", true, false, true},
        {"output -1 is on", [](DeviceState &s) { s.outputOn = -1; }, "7.050.000", "1000", still,
         "MAN", true, false, true},
        {"preset 3", [](DeviceState &s) { s.activePreset = 3; }, "7.050.000", "1000", still, "P 3",
         true, false, true},
        {"preset 12", [](DeviceState &s) { s.activePreset = 12; }, "7.050.000", "1000", still,
         "P 12", true, false, true},
        {"sweeping shows the sweep frequency",
         [](DeviceState &s) {
             s.sweeping = 1;
             s.sweepFreq = 12345678;
             s.modMode = 2;
             s.activePreset = 12;
         },
         "12.345.678", "1000", still, "SWEEP", true, true, false},
        {"sweeping with output off",
         [](DeviceState &s) {
             s.sweeping = 1;
             s.outputOn = 0;
             s.modMode = 0;
         },
         "0", "OFF", still, "SWEEP", false, true, false},
        {"sweeping with an unknown mode", [](DeviceState &s) { s.sweeping = 1, s.modMode = 7; },
         "0", "1000", still, "SWEEP", true, true, false},
        {"not sweeping ignores the sweep position",
         [](DeviceState &s) {
             s.sweeping = false;
             s.sweepFreq = 5;
         },
         "7.050.000", "1000", still, "MAN", true, false, true},
        {"carrier with ten digits", [](DeviceState &s) { s.carrierFreq = 1234567890; },
         "1234.567.890", "1000", still, "MAN", true, false, true},
        {"carrier 0", [](DeviceState &s) { s.carrierFreq = 0; }, "0", "1000", still, "MAN", true,
         false, true},
        {"modulation at the top of its range", [](DeviceState &s) { s.modFreq = 65535; },
         "7.050.000", "65535", still, "MAN", true, false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        DeviceState state = baseState();
        c.change(state);
        const std::optional<PanelView> view = renderPanel(state);
        ASSERT_TRUE(view.has_value());
        EXPECT_EQ(view->carrier, QString::fromLatin1(c.carrier));
        EXPECT_EQ(view->modulation, QString::fromLatin1(c.modulation));
        EXPECT_EQ(view->modKind, c.modKind);
        EXPECT_EQ(view->mode, QString::fromLatin1(c.mode));
        EXPECT_EQ(view->outputLamp, c.outputLamp);
        EXPECT_EQ(view->sweepLamp, c.sweepLamp);
        EXPECT_EQ(view->upDownEnabled, c.upDown);
        EXPECT_EQ(view->step, QStringLiteral("Step : 10kHz"));
    }
}

TEST(PanelViewTest, SweepFrequencyZeroWhileSweeping) {
    // The sweep readout replaces the carrier even before the first W reply.
    DeviceState state = baseState();
    state.sweeping = 1;
    EXPECT_EQ(renderPanel(state)->carrier, QStringLiteral("0"));
}

TEST(PanelViewTest, NothingChangesWhileTheTelegraphKeys) {
    for (int16_t busy : {int16_t{-1}, int16_t{1}}) {
        DeviceState state = baseState();
        state.telegraphBusy = busy;
        EXPECT_FALSE(renderPanel(state).has_value());
    }
}

TEST(PanelViewTest, StepText) {
    const std::pair<qint32, const char *> cases[] = {
        // the seven steps of the Step button
        {1, "1Hz"},
        {10, "10Hz"},
        {100, "100Hz"},
        {1000, "1kHz"},
        {10000, "10kHz"},
        {100000, "100kHz"},
        {1000000, "1MHz"},
        // the thresholds are 999 and 999999
        {998, "998Hz"},
        {999, "0.999kHz"},
        {1500, "1.5kHz"},
        {999998, "999.998kHz"},
        {999999, "1MHz"},
        {2147483647, "1MHz"},
        {0, "0Hz"},
        {-5, "-5Hz"},
    };
    for (const auto &[step, text] : cases) {
        SCOPED_TRACE(step);
        EXPECT_EQ(stepText(step), QString::fromLatin1(text));
        EXPECT_EQ(renderPanel(baseState(), PanelViewState{step})->step,
                  QStringLiteral("Step : ") + QString::fromLatin1(text));
    }
}

} // namespace
