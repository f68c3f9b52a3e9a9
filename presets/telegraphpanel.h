// Presets and radiotelegraph: the presets window PresetsWindow, the preset read-out and the
// save/recall buttons, and the radiotelegraph frame TelegraphPanel. Uses link/ (DeviceState,
// Link) and is opened from the main window MainWindow in panel/.
#pragma once

#include <QFrame>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

// The radiotelegraph frame: text and speed for Morse keying by the generator. It is
// laid over the panel's display window by the CW button; MainWindow handles its controls.
class TelegraphPanel final : public QFrame {
    Q_OBJECT
public:
    explicit TelegraphPanel(QWidget *parent = nullptr);

    QLabel *titleLabel;       // title "RADIOTELEGRAPH"
    QLabel *textLabel;        // caption of the text box
    QLineEdit *textEntry;     // text to key
    QLabel *speedLabel;       // "Speed :"
    QScrollBar *speedSlider;  // speed 1..300
    QLabel *speedValueLabel;  // the speed as a number
    QCheckBox *repeatBox;     // Repeat: send again each time the generator has finished
    QPushButton *sendButton;  // Send
    QPushButton *closeButton; // Close

protected:
    // A click into the text box selects its text from the start (up to 1000
    // characters), so that typing replaces it.
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
};
