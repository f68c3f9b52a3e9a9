#pragma once

#include "presets/presetrecord.h"

#include <QDialog>
#include <array>

class QLabel;
class QPushButton;
struct DeviceState;

// The presets window: twelve presets as read from the generator; a click on a number
// picks it. Hidden and reused, never recreated.
class Form2 final : public QDialog {
    Q_OBJECT
public:
    explicit Form2(DeviceState &state, QWidget *parent = nullptr);

    // Writes row `number` (1..12).
    void setRow(int number, const Presets::RowTexts &row);
    Presets::RowTexts row(int number) const;

    // The number cell currently highlighted in red, 1..12, or 0 before any.
    int highlighted() const { return m_highlighted; }

    static const QColor NumberBackground; // light blue of the number cells
    static const QColor HighlightColour;  // red of the last number touched

    using Column = std::array<QLabel *, Presets::Count>;
    QLabel *Label1;        // column header
    Column Label2{};       // Preset: the number, clickable
    Column Label4{};       // Carrier freq.
    Column Label5{};       // Modulation freq.
    Column Label3{};       // Mode
    Column Label6{};       // Top freq.
    Column Label7{};       // Step
    Column Label8{};       // Interval
    QLabel *Label9;        // hint below the table
    QPushButton *Command1; // Close: no choice

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

public Q_SLOTS:
    void reject() override;

private:
    void highlight(int number);
    void choose(int number);
    int numberOf(QObject *cell) const;

    DeviceState &m_state;
    int m_highlighted = 0;
};
