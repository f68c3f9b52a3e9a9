// The presets of the simulated generator read into the presets window, one saved and
// read back, one recalled: the real QSerialPort on a pseudo-terminal, Qt timers,
// scripted dialogs.
#include "link/link.h"
#include "link/serialport.h"
#include "link/timesource.h"
#include "panel/lamp.h"
#include "panel/mainwindow.h"
#include "presets/presetswindow.h"
#include "sim/simulator.h"
#include "tests/support/simpanel.h"

#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using Presets::RowTexts;

// The generator's factory table, row by row.
void expectFactoryTable(const PresetsWindow &table) {
    EXPECT_EQ(table.row(1), (RowTexts{"1", "7050000 Hz", "1000 Hz", "Beep", "", "", ""}));
    EXPECT_EQ(table.row(2), (RowTexts{"2", "3650000 Hz", "0 Hz", "Carrier", "", "", ""}));
    EXPECT_EQ(table.row(5),
              (RowTexts{"5", "7000000 Hz", "0 Hz", "Sweep", "7200000 Hz", "1000 Hz", "10 sec."}));
    for (int k = 6; k <= 12; ++k)
        EXPECT_EQ(table.row(k), (RowTexts{QString::number(k), "", "", ".....", "", "", ""})) << k;
}

class PresetsOnSimulator : public SimulatedPanel {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(startPanel(config(), 3)); }
    virtual sim::SimConfig config() const {
        sim::SimConfig config;
        config.bootMs = 100;
        config.carrier = 3650000;
        config.modFreq = 700;
        config.modMode = 3;
        return config;
    }

    // Runs MS or MR with the user picking `k` (and answering Yes to a save), until
    // the buttons are free again.
    void pick(QPushButton *button, int k) {
        dialogs.modalActions.push_back([this, k](QDialog &) {
            QTest::mouseClick(presetCell(ui(*window).presetsWindow(), "numberCells", k),
                              Qt::LeftButton);
        });
        dialogs.yesNoAnswers.push_back(true);
        button->click();
        ASSERT_TRUE(runUntil([this] { return dialogs.modalActions.empty(); }, 5000));
        ASSERT_TRUE(runUntil([button] { return button->isEnabled(); }, 5000));
    }

    QStringList commands(QChar letter) const {
        QStringList out;
        for (const auto &line : simulator->receivedLines())
            if (line.text.startsWith(letter))
                out << line.text;
        return out;
    }
};

TEST_F(PresetsOnSimulator, ReadsAllPresetsSavesOneAndReadsItBack) {
    pick(ui(*window).saveButton, 7);
    expectFactoryTable(ui(*window).presetsWindow());
    for (const ScriptedDialogs::Asked &asked : dialogs.asked)
        EXPECT_NE(asked.text, QStringLiteral("Communication error"));
    EXPECT_EQ(ui(*window).modeLine->text(), QStringLiteral("P 7"));
    ASSERT_TRUE(runUntil([this] { return !commands(u'S').isEmpty(); }, 2000));
    EXPECT_EQ(commands(u'S'), QStringList{"S7"});
    // Each preset asked in turn (a busy machine may make a query go out twice).
    QStringList asked = commands(u'K');
    asked.removeDuplicates();
    QStringList expectedQueries;
    for (int k = 1; k <= 12; ++k)
        expectedQueries << QStringLiteral("K%1").arg(k);
    EXPECT_EQ(asked, expectedQueries);

    // The next read-out shows what the generator now holds in preset 7.
    simulator->clearReceivedLines();
    dialogs.modalActions.push_back([](QDialog &d) { d.close(); });
    ui(*window).recallButton->click();
    ASSERT_TRUE(runUntil([this] { return ui(*window).recallButton->isEnabled(); }, 5000));
    EXPECT_EQ(ui(*window).presetsWindow().row(7),
              (RowTexts{"7", "3650000 Hz", "700 Hz", "Trill", "", "", ""}));
    EXPECT_TRUE(commands(u'R').isEmpty()) << "closed without a choice";
}

TEST_F(PresetsOnSimulator, RecallSetsTheGeneratorAndThePanelShowsIt) {
    pick(ui(*window).recallButton, 1);
    EXPECT_EQ(commands(u'R'), QStringList{"R1"});
    EXPECT_EQ(simulator->carrier(), 7050000);
    EXPECT_EQ(ui(*window).modeLine->text(), QStringLiteral("P 1"));
    ASSERT_TRUE(runUntil(
        [this] { return ui(*window).carrierReadout->text() == QStringLiteral("7.050.000"); },
        3000));
}

// A generator slow enough that its sweep reports (one every 50 ms) fall between the
// read-out's queries and replies.
class PresetsOnSweepingSimulator : public PresetsOnSimulator {
protected:
    sim::SimConfig config() const override {
        sim::SimConfig c = PresetsOnSimulator::config();
        c.latencyMs = 15;
        return c;
    }
};

TEST_F(PresetsOnSweepingSimulator, ReadOutDuringASweepFillsEveryRow) {
    int reports = 0;
    QObject context;
    QObject::connect(&instrument->link(), &Link::replyHandled, &context,
                     [&](const ReplyEffects &e) { reports += e.letter == QLatin1Char('W'); });
    ASSERT_TRUE(simulator->startSweep(3700000, 10, 60));
    dialogs.modalActions.push_back([](QDialog &d) { d.close(); });
    ui(*window).recallButton->click();
    ASSERT_TRUE(runUntil([this] { return ui(*window).recallButton->isEnabled(); }, 20000));
    EXPECT_TRUE(simulator->sweeping());
    EXPECT_GE(reports, 2) << "the sweep reported during the read-out";
    for (const ScriptedDialogs::Asked &asked : dialogs.asked)
        EXPECT_NE(asked.text, QStringLiteral("Communication error"));
    expectFactoryTable(ui(*window).presetsWindow());
}

} // namespace
