// Presets and radiotelegraph: the preset read-out, the presets window and the
// save/recall buttons (PresetControl), and the radiotelegraph frame (TelegraphPanel).
// Drives the generator through instrument/, reads link/ (DeviceState, the preset
// record) and uses widgets/ (PanelContext); the main window creates both subsystems and
// hands them the buttons they drive.
#pragma once

#include <QFrame>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class Ticker;
struct PanelContext;

// The radiotelegraph frame: text and speed for Morse keying by the generator, laid
// over the panel's display window by the CW button. Send (or Enter) keys the text
// once; with Repeat ticked it goes out again each time the generator has finished.
class TelegraphPanel final : public QFrame {
    Q_OBJECT
public:
    struct Controls {
        QRect place; // the main window's display window, which the frame covers
    };
    // The frame is a child of the context's window.
    TelegraphPanel(const PanelContext &context, Controls controls);
    ~TelegraphPanel() override;

    // Switches the output off and shows the frame over the display window.
    void open();

    // The line to the generator went away: the keying is over, Repeat is unticked and
    // an open frame is closed (closed() is emitted) without sending anything.
    void stopKeying();

    // The speed slider; the Instrument keeps the speed (KVT.INI, the remote's MORS).
    int speed() const;
    void setSpeed(int speed);

Q_SIGNALS:
    // Close was pressed: the frame is hidden and the output is on again.
    void closed();

protected:
    // A click into the text box selects its text from the start (up to 1000
    // characters), so that typing replaces it.
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void send();
    void repeatTick();
    void retranslate();

    const PanelContext &m_context;
    Controls m_controls;
    std::unique_ptr<Ticker> m_repeatTimer; // every second: Close's state and Repeat

    QLabel *m_titleLabel;       // title "RADIOTELEGRAPH"
    QLabel *m_textLabel;        // caption of the text box
    QLineEdit *m_textEntry;     // text to key
    QLabel *m_speedLabel;       // "Speed :"
    QScrollBar *m_speedSlider;  // speed 1..300
    QLabel *m_speedValueLabel;  // the speed as a number
    QCheckBox *m_repeatBox;     // Repeat: send again each time the generator has finished
    QPushButton *m_sendButton;  // Send
    QPushButton *m_closeButton; // Close
};
