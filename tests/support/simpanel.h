#pragma once

// A real main window on Qt timers and the real serial port, connected to the
// in-process simulator over a pseudo-terminal: the base of the integration tests.

#include "link/serialport.h"
#include "link/timesource.h"
#include "panel/form1.h"
#include "sim/simulator.h"
#include "tests/support/fakes.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

// Runs the event loop until `done` holds or `ms` have passed. Unlike QTest::qWaitFor,
// which sleeps 10 ms between rounds, it lets the program and the simulator react at
// once, so an exchange runs at the pace it has in the real program.
bool runUntil(const std::function<bool()> &done, int ms);

class SimulatedPanel : public testing::Test {
protected:
    // Starts the simulator linked as COM<port> in a folder of its own, with a settings
    // file naming that port, then the main window; returns when start-up has ended.
    // Call with ASSERT_NO_FATAL_FAILURE.
    void startPanel(sim::SimConfig config, int portNumber);
    void TearDown() override;

    QTemporaryDir dir;
    QtTimeSource time;
    ScriptedDialogs dialogs;
    RecordingProcessStarter processes;
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<QtSerialPort> port;
    std::unique_ptr<Form1> form;
};
