#pragma once

// A real main window on Qt timers and the real serial port, connected to the
// in-process simulator over a pseudo-terminal: the base of the integration tests and
// of the benchmarks that measure the whole program.

#include "link/serialport.h"
#include "link/timesource.h"
#include "panel/mainwindow.h"
#include "sim/simulator.h"
#include "tests/support/fakes.h"
#include "tests/support/wait.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

struct SimulatedPanelRig {
    // Starts the simulator linked as COM<port> in a folder of its own, with a settings
    // file naming that port, then the main window; returns when start-up has ended,
    // or false with the reason in `error`.
    bool startPanel(sim::SimConfig config, int portNumber, QString *error);
    // Ends the window first, then the port, then the simulator.
    void stopPanel();

    QTemporaryDir dir;
    QtTimeSource time;
    ScriptedDialogs dialogs;
    FakeProcessStarter processes;
    ProcessStarter *processStarter = nullptr; // set before startPanel: real processes
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<QtSerialPort> port;
    std::unique_ptr<Instrument> instrument;
    std::unique_ptr<MainWindow> window;
    DeviceState &record();
};

class SimulatedPanel : public testing::Test, protected SimulatedPanelRig {
protected:
    // Call with ASSERT_NO_FATAL_FAILURE.
    void startPanel(const sim::SimConfig &config, int portNumber) {
        QString error;
        ASSERT_TRUE(SimulatedPanelRig::startPanel(config, portNumber, &error))
            << error.toStdString();
    }
    void TearDown() override { stopPanel(); }
};
