#pragma once

// A connected main window on the fakes, with the start-up traffic already taken.

#include "link/devicestate.h"
#include "panel/form1.h"
#include "panel/lamp.h"
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
        state().WideRange = 0;
        state().CarrierFreq = 7050000;
        state().ModFreq = 1000;
        state().ModMode = 1;
        state().OutputOn = 1;
        state().Sweeping = 0;
        state().ActivePreset = 0;
        state().TuneStep = 10000;
        form().Command5->setText(QStringLiteral("Sweep"));
        form().DisplayAll();
    }

    Form1 &form() { return *rig.form; }
    DeviceState &state() { return rig.form->state(); }
    QStringList sent() { return rig.port.takeLines(); }
    void answer(std::optional<QString> text) { rig.dialogs.textAnswers.push_back(std::move(text)); }
    static void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton); }

    PanelRig rig;
};
