#pragma once

#include "link/presetrecord.h"

#include <QDialog>
#include <array>

class QLabel;
class QPushButton;

// The presets window: twelve presets as read from the generator; a click on a number
// picks it. "Save to file..." and "Load from file..." ask for the set to be kept in a
// file or written back from one: they pick nothing and leave the window open. Hidden
// and reused, never recreated.
class PresetsWindow final : public QDialog {
    Q_OBJECT
public:
    explicit PresetsWindow(QWidget *parent = nullptr);

    // The preset picked when the window was last shown, 1..12, or 0 for none (Close,
    // Escape or the window's close control).
    int chosenPreset() const { return m_chosen; }

    // Writes row `number` (1..12).
    void setRow(int number, const Presets::RowTexts &row);
    Presets::RowTexts row(int number) const;

    // The number cell currently highlighted in red, 1..12, or 0 before any.
    int highlighted() const { return m_highlighted; }

    // While a file is saved or loaded the window takes no clicks and cannot be closed:
    // its buttons are greyed and the numbers pick nothing.
    void setFileWorkRunning(bool running);
    bool fileWorkRunning() const { return m_fileWorkRunning; }

    static const QColor NumberBackground; // light blue of the number cells
    static const QColor HighlightColour;  // red of the last number touched

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

public Q_SLOTS:
    void reject() override;

Q_SIGNALS:
    void saveToFileRequested();
    void loadFromFileRequested();

private:
    void retranslate();
    void layoutTable();
    void highlight(int number);
    void choose(int number);
    int numberOf(QObject *cell) const;

    using Column = std::array<QLabel *, Presets::Count>;
    QLabel *m_headerLabel;         // column header
    Column m_numberCells{};        // Preset: the number, clickable
    Column m_carrierCells{};       // Carrier freq.
    Column m_modulationCells{};    // Modulation freq.
    Column m_modeCells{};          // Mode
    Column m_topCells{};           // Top freq.
    Column m_stepCells{};          // Step
    Column m_intervalCells{};      // Interval
    QLabel *m_hintLabel;           // hint below the table
    QPushButton *m_closeButton;    // Close: no choice
    QPushButton *m_saveFileButton; // Save to file...
    QPushButton *m_loadFileButton; // Load from file...
    bool m_fileWorkRunning = false;
    int m_highlighted = 0;
    int m_chosen = 0;
    std::array<QWidget *, Presets::Count / 2> m_bands{}; // white bands under presets 1, 3, 5, ...
};
