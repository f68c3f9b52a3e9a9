// A sweep run on the simulated generator and followed on the panel: the real
// QSerialPort on a pseudo-terminal, Qt timers, scripted dialogs.
#include "link/link.h"
#include "link/serialport.h"
#include "link/timesource.h"
#include "panel/lamp.h"
#include "panel/mainwindow.h"
#include "sim/simulator.h"
#include "tests/support/simpanel.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class PanelOnSimulator : public SimulatedPanel {
protected:
    void SetUp() override {
        sim::SimConfig config;
        config.bootMs = 100;
        config.carrier = 7050000;
        ASSERT_NO_FATAL_FAILURE(startPanel(config, 2));
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return ui(*window).carrierReadout->text() == QStringLiteral("7.050.000"); },
            5000));
    }
};

TEST_F(PanelOnSimulator, ASweepIsFollowedOnThePanelUntilItsEnd) {
    // What the carrier readout shows after each reply the panel handled while sweeping.
    QStringList shownWhileSweeping;
    QObject::connect(&instrument->link(), &Link::replyHandled, window.get(), [&] {
        if (record().sweeping == 1)
            shownWhileSweeping << ui(*window).carrierReadout->text();
    });

    // 7.05 MHz up to 7.55 MHz in 10 steps of 50 kHz, 2 s for the span.
    dialogs.textAnswers = {QStringLiteral("7550000"), QStringLiteral("50000"), QStringLiteral("2")};
    ui(*window).sweepButton->click();
    EXPECT_EQ(ui(*window).sweepButton->text(), QStringLiteral("Pause"));
    EXPECT_EQ(ui(*window).modeLine->text(), QStringLiteral("SWEEP"));
    EXPECT_EQ(ui(*window).carrierReadout->text(), QStringLiteral("7.050.000")); // not 0
    ASSERT_TRUE(QTest::qWaitFor([this] { return simulator->sweeping(); }, 2000));

    // The generator's reports move the readout through the span, grouped.
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownWhileSweeping.size() >= 3; }, 3000));
    EXPECT_TRUE(ui(*window).sweepLamp->isLit());
    EXPECT_FALSE(ui(*window).upButton->isEnabled());

    // Its final F report ends the sweep state.
    ASSERT_TRUE(QTest::qWaitFor([this] { return record().sweeping == 0; }, 6000));
    EXPECT_FALSE(simulator->sweeping());
    EXPECT_EQ(ui(*window).sweepButton->text(), QStringLiteral("Sweep"));
    EXPECT_FALSE(ui(*window).sweepLamp->isLit());
    EXPECT_TRUE(ui(*window).upButton->isEnabled());
    EXPECT_EQ(ui(*window).carrierReadout->text(), QStringLiteral("7.050.000"));
    EXPECT_EQ(ui(*window).modeLine->text(), QStringLiteral("MAN"));

    const QRegularExpression grouped(QStringLiteral("^(\\d{1,3})\\.(\\d{3})\\.(\\d{3})$"));
    qint64 last = 0;
    for (const QString &text : shownWhileSweeping) {
        SCOPED_TRACE(text.toStdString());
        const QRegularExpressionMatch m = grouped.match(text);
        ASSERT_TRUE(m.hasMatch());
        const qint64 hz = (m.captured(1) + m.captured(2) + m.captured(3)).toLongLong();
        EXPECT_GE(hz, 7050000);
        EXPECT_LE(hz, 7550000);
        EXPECT_EQ((hz - 7050000) % 50000, 0);
        EXPECT_GE(hz, last); // upward only
        last = hz;
    }
    EXPECT_GT(last, 7050000);

    QStringList commands;
    for (const auto &line : simulator->receivedLines())
        commands << line.text;
    EXPECT_EQ(commands.count(QStringLiteral("W7550000 50000 2")), 1);
}

TEST_F(PanelOnSimulator, PauseWhileSweepingHoldsTheGenerator) {
    dialogs.textAnswers = {QStringLiteral("8050000"), QStringLiteral("1000"), QStringLiteral("60")};
    ui(*window).sweepButton->click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return simulator->sweeping(); }, 2000));
    ui(*window).sweepButton->click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return simulator->sweepPaused(); }, 2000));
    EXPECT_EQ(ui(*window).sweepButton->text(), QStringLiteral("Pause")); // still in the sweep state
    EXPECT_EQ(record().sweeping, 1);

    // STOP ends it: the generator reports its carrier, the panel is idle again. (A W
    // report of a poll may still be on its way and put the panel back into the sweep
    // state until that F report arrives.)
    QSignalSpy frames(simulator.get(), &sim::Simulator::frameSent);
    ui(*window).stopButton->click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !simulator->sweeping(); }, 2000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::any_of(frames.cbegin(), frames.cend(), [](const QList<QVariant> &f) {
                return f.at(0).toByteArray().startsWith("#F");
            });
        },
        2000));
    ASSERT_TRUE(QTest::qWaitFor([this] { return record().sweeping == 0; }, 2000));
    EXPECT_EQ(ui(*window).sweepButton->text(), QStringLiteral("Sweep"));
    EXPECT_FALSE(ui(*window).sweepLamp->isLit());
    EXPECT_TRUE(simulator->outputOn());
}

} // namespace
