#pragma once

// The controls of the program's windows as a test reaches them: by their object
// names, the way a user finds them by caption, since they are private to their
// windows. A missing control fails the test that looks for it.

#include "panel/lamp.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <gtest/gtest.h>

class PresetControl;
class PresetsWindow;
class SetupDialog;
class TelegraphPanel;

// The child of `parent` named `name`, of type T; null (and a test failure) if none.
template <class T = QWidget> T *control(const QObject &parent, const char *name) {
    T *found = parent.findChild<T *>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << "no control named " << name;
    return found;
}

// The radiotelegraph frame's controls.
struct TelegraphUi {
    explicit TelegraphUi(TelegraphPanel &panel);
    TelegraphPanel *panel;
    QLineEdit *textEntry;
    QScrollBar *speedSlider;
    QLabel *speedValueLabel;
    QCheckBox *repeatBox;
    QPushButton *sendButton;
    QPushButton *closeButton;
};

// The presets window's cells: column "numberCells", "carrierCells", ..., row 1..12.
QLabel *presetCell(const PresetsWindow &window, const char *column, int number);

// The main window's controls.
struct PanelUi {
    explicit PanelUi(QWidget &window);

    QFrame *displayWindow;
    ClickLabel *carrierReadout;
    ClickLabel *modulationReadout;
    QLabel *modeLine;
    QLabel *modKindLine;
    QLabel *stepLine;
    QLabel *modelLabel;
    QLabel *subtitleLabel;
    QLabel *noticeLabel;
    Lamp *outputLamp;
    Lamp *sweepLamp;
    Lamp *readyLamp;
    QPushButton *powerButton;
    QPushButton *saveButton;
    QPushButton *recallButton;
    QPushButton *amModeButton;
    QPushButton *sweepButton;
    QPushButton *stopButton;
    QPushButton *upButton;
    QPushButton *downButton;
    QPushButton *infoButton;
    QPushButton *stepButton;
    QPushButton *cwButton;
    QPushButton *directInButton;
    QPushButton *configButton;
    QFrame *directEntryFrame;
    QLineEdit *carrierEntry;
    QLineEdit *modulationEntry;
    TelegraphPanel *telegraphPanel;
    PresetControl *presets;

    TelegraphUi telegraph() const { return TelegraphUi(*telegraphPanel); }
    // The presets window (created on first use).
    PresetsWindow &presetsWindow() const;
    // The setup window, or null before it was first needed.
    SetupDialog *setupDialog() const;

private:
    QWidget *m_window;
};

inline PanelUi ui(QWidget &window) {
    return PanelUi(window);
}
