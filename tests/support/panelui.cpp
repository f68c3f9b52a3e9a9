#include "tests/support/panelui.h"

#include "presets/presetcontrol.h"
#include "presets/presetswindow.h"
#include "presets/telegraphpanel.h"
#include "setup/setupdialog.h"

TelegraphUi::TelegraphUi(TelegraphPanel &p)
    : panel(&p), textEntry(control<QLineEdit>(p, "textEntry")),
      speedSlider(control<QScrollBar>(p, "speedSlider")),
      speedValueLabel(control<QLabel>(p, "speedValueLabel")),
      repeatBox(control<QCheckBox>(p, "repeatBox")),
      sendButton(control<QPushButton>(p, "sendButton")),
      closeButton(control<QPushButton>(p, "closeButton")) {}

QLabel *presetCell(const PresetsWindow &window, const char *column, int number) {
    const QString name = QStringLiteral("%1(%2)").arg(QLatin1String(column)).arg(number - 1);
    return control<QLabel>(window, name.toLatin1().constData());
}

PanelUi::PanelUi(QWidget &w)
    : displayWindow(control<QFrame>(w, "displayWindow")),
      carrierReadout(control<ClickLabel>(w, "carrierReadout")),
      modulationReadout(control<ClickLabel>(w, "modulationReadout")),
      modeLine(control<QLabel>(w, "modeLine")), modKindLine(control<QLabel>(w, "modKindLine")),
      stepLine(control<QLabel>(w, "stepLine")), modelLabel(control<QLabel>(w, "modelLabel")),
      subtitleLabel(control<QLabel>(w, "subtitleLabel")),
      noticeLabel(control<QLabel>(w, "noticeLabel")), outputLamp(control<Lamp>(w, "outputLamp")),
      sweepLamp(control<Lamp>(w, "sweepLamp")), readyLamp(control<Lamp>(w, "readyLamp")),
      powerButton(control<QPushButton>(w, "powerButton")),
      saveButton(control<QPushButton>(w, "saveButton")),
      recallButton(control<QPushButton>(w, "recallButton")),
      amModeButton(control<QPushButton>(w, "amModeButton")),
      sweepButton(control<QPushButton>(w, "sweepButton")),
      stopButton(control<QPushButton>(w, "stopButton")),
      upButton(control<QPushButton>(w, "upButton")),
      downButton(control<QPushButton>(w, "downButton")),
      infoButton(control<QPushButton>(w, "infoButton")),
      stepButton(control<QPushButton>(w, "stepButton")),
      cwButton(control<QPushButton>(w, "cwButton")),
      directInButton(control<QPushButton>(w, "directInButton")),
      configButton(control<QPushButton>(w, "configButton")),
      directEntryFrame(control<QFrame>(w, "directEntryFrame")),
      carrierEntry(control<QLineEdit>(w, "carrierEntry")),
      modulationEntry(control<QLineEdit>(w, "modulationEntry")),
      telegraphPanel(control<TelegraphPanel>(w, "telegraphPanel")),
      presets(w.findChild<PresetControl *>()), m_window(&w) {
    EXPECT_NE(presets, nullptr);
}

PresetsWindow &PanelUi::presetsWindow() const {
    return presets->presetsWindow();
}

SetupDialog *PanelUi::setupDialog() const {
    return m_window->findChild<SetupDialog *>();
}
