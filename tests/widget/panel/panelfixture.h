#pragma once

// A connected main window on the fakes, with the start-up traffic already taken.

#include "link/devicestate.h"
#include "panel/lamp.h"
#include "panel/mainwindow.h"
#include "panel/tuning.h"
#include "tests/support/fakes.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

class PanelTest : public testing::Test {
protected:
    void SetUp() override {
        rig.connectOn();
        reset();
    }

    void reset() {
        rig.port.takeWritten();
        rig.dialogs.asked.clear();
        // A plain manual state to start from; each test changes what it is about.
        state().wideRange = 0;
        state().carrierFreq = 7050000;
        state().modFreq = 1000;
        state().modMode = 1;
        state().outputOn = 1;
        state().sweeping = 0;
        state().activePreset = 0;
        tuning().setStep(10000);
        ui(window()).sweepButton->setText(QStringLiteral("Sweep"));
        window().displayAll();
    }

    MainWindow &window() { return *rig.window; }
    DeviceState &state() { return rig.record(); }
    Tuning &tuning() { return *window().findChild<Tuning *>(); }
    QStringList sent() { return rig.port.takeLines(); }
    void answer(std::optional<QString> text) { rig.dialogs.textAnswers.push_back(std::move(text)); }
    static void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton); }

    PanelRig rig;
};
