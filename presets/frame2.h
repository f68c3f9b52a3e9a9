// Presets and radiotelegraph: the presets window Form2, the preset read-out and the
// save/recall buttons, and the radiotelegraph frame Frame2. Uses link/ (DeviceState,
// Link) and is opened from the main window Form1 in panel/.
#pragma once

#include <QFrame>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

// The radiotelegraph frame: text and speed for Morse keying by the generator. It is
// laid over the panel's display window by the CW button; Form1 handles its controls.
class Frame2 final : public QFrame {
    Q_OBJECT
public:
    explicit Frame2(QWidget *parent = nullptr);

    QLabel *Label36;        // title "RADIOTELEGRAPH"
    QLabel *Label35;        // caption of the text box
    QLineEdit *Text3;       // text to key
    QLabel *Label33;        // "Speed :"
    QScrollBar *HScroll1;   // speed 1..300
    QLabel *Label34;        // the speed as a number
    QCheckBox *Check1;      // Repeat: send again each time the generator has finished
    QPushButton *Command15; // Send
    QPushButton *Command14; // Close

protected:
    // A click into the text box selects its text from the start (up to 1000
    // characters), so that typing replaces it.
    bool eventFilter(QObject *watched, QEvent *event) override;
};
