#pragma once

#include "presets/presetrecord.h"

#include <QDialog>
#include <array>

class QLabel;
class QPushButton;
struct DeviceState;

// The presets window: twelve presets as read from the generator; a click on a number
// picks it. Hidden and reused, never recreated.
class PresetsWindow final : public QDialog {
    Q_OBJECT
public:
    explicit PresetsWindow(DeviceState &state, QWidget *parent = nullptr);

    // Writes row `number` (1..12).
    void setRow(int number, const Presets::RowTexts &row);
    Presets::RowTexts row(int number) const;

    // The number cell currently highlighted in red, 1..12, or 0 before any.
    int highlighted() const { return m_highlighted; }

    static const QColor NumberBackground; // light blue of the number cells
    static const QColor HighlightColour;  // red of the last number touched

    using Column = std::array<QLabel *, Presets::Count>;
    QLabel *headerLabel;      // column header
    Column numberCells{};     // Preset: the number, clickable
    Column carrierCells{};    // Carrier freq.
    Column modulationCells{}; // Modulation freq.
    Column modeCells{};       // Mode
    Column topCells{};        // Top freq.
    Column stepCells{};       // Step
    Column intervalCells{};   // Interval
    QLabel *hintLabel;        // hint below the table
    QPushButton *closeButton; // Close: no choice

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

public Q_SLOTS:
    void reject() override;

private:
    void retranslate();
    void layoutTable();
    void highlight(int number);
    void choose(int number);
    int numberOf(QObject *cell) const;

    DeviceState &m_state;
    int m_highlighted = 0;
    std::array<QWidget *, Presets::Count / 2> m_bands{}; // white bands under presets 1, 3, 5, ...
};
