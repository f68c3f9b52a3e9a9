#include "presets/presetswindow.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <vector>

const QColor PresetsWindow::NumberBackground(192, 192, 255);
const QColor PresetsWindow::HighlightColour(255, 0, 0);

namespace {
// One string whose runs of blanks set the column titles apart; each column starts
// under its title, and the last blanks end the table.
const char *const Header =
    QT_TRANSLATE_NOOP("PresetsWindow", "Preset               Carrier freq.    Modulation freq.   "
                                       "Mode                   Top freq.              Step         "
                                       "   Interval     ");
constexpr int Margin = 10;
constexpr int HeaderTop = 8;
constexpr int RowTop = 34;
constexpr int RowHeight = 22;
constexpr int CellGap = 6;
constexpr int ColumnCount = 7;

void setBackground(QLabel *label, const QColor &colour) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, colour);
    label->setPalette(pal);
}

// Where the column titles start in a header: at a character after the start or after
// two blanks or more (a title may hold single blanks, as "Top freq." does).
std::vector<qsizetype> titleStarts(const QString &header) {
    std::vector<qsizetype> starts;
    for (qsizetype i = 0; i < header.size(); ++i) {
        if (header[i] == u' ')
            continue;
        if (i == 0 || (i >= 2 && header[i - 1] == u' ' && header[i - 2] == u' '))
            starts.push_back(i);
    }
    return starts;
}
} // namespace

PresetsWindow::PresetsWindow(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PresetsWindow"));
    setModal(true);

    m_headerLabel = new QLabel(this);
    m_headerLabel->setObjectName(QStringLiteral("headerLabel"));

    Column *columns[ColumnCount] = {&m_numberCells,  &m_carrierCells, &m_modulationCells,
                                    &m_modeCells,    &m_topCells,     &m_stepCells,
                                    &m_intervalCells};
    const char *names[ColumnCount] = {"numberCells", "carrierCells", "modulationCells", "modeCells",
                                      "topCells",    "stepCells",    "intervalCells"};
    for (int r = 0; r < Presets::Count; ++r) {
        if (r % 2 == 0) {
            // Presets 1, 3, 5, ... lie on a white band.
            auto *band = new QWidget(this);
            band->setObjectName(QStringLiteral("Band%1").arg(r + 1));
            band->setAutoFillBackground(true);
            QPalette pal = band->palette();
            pal.setColor(QPalette::Window, Qt::white);
            band->setPalette(pal);
            band->lower();
            m_bands[static_cast<size_t>(r / 2)] = band;
        }
        for (int c = 0; c < ColumnCount; ++c) {
            auto *cell = new QLabel(this);
            cell->setObjectName(QStringLiteral("%1(%2)").arg(QLatin1String(names[c])).arg(r));
            (*columns[c])[static_cast<size_t>(r)] = cell;
        }
        QLabel *number = m_numberCells[static_cast<size_t>(r)];
        number->setText(QString::number(r + 1));
        number->setAlignment(Qt::AlignCenter);
        number->setAutoFillBackground(true);
        setBackground(number, NumberBackground);
        number->setCursor(Qt::PointingHandCursor);
        number->setMouseTracking(true);
        number->installEventFilter(this);
        for (Column *col :
             {&m_carrierCells, &m_modulationCells, &m_topCells, &m_stepCells, &m_intervalCells})
            (*col)[static_cast<size_t>(r)]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_modeCells[static_cast<size_t>(r)]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }

    m_hintLabel = new QLabel(this);
    m_hintLabel->setObjectName(QStringLiteral("hintLabel"));
    // Close stays English in both languages.
    m_closeButton = new QPushButton(QStringLiteral("Close"), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setAutoDefault(false);
    connect(m_closeButton, &QPushButton::clicked, this, [this] { choose(0); });
    m_saveFileButton = new QPushButton(this);
    m_saveFileButton->setObjectName(QStringLiteral("saveFileButton"));
    m_saveFileButton->setAutoDefault(false);
    connect(m_saveFileButton, &QPushButton::clicked, this, &PresetsWindow::saveToFileRequested);
    m_loadFileButton = new QPushButton(this);
    m_loadFileButton->setObjectName(QStringLiteral("loadFileButton"));
    m_loadFileButton->setAutoDefault(false);
    connect(m_loadFileButton, &QPushButton::clicked, this, &PresetsWindow::loadFromFileRequested);

    retranslate();
}

void PresetsWindow::changeEvent(QEvent *event) {
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

// The window's captions that have a Czech text; the Czech header has its own column
// positions, so the table is laid out again under it.
void PresetsWindow::retranslate() {
    setWindowTitle(tr("KVT Presets"));
    m_headerLabel->setText(tr(Header));
    m_hintLabel->setText(tr("Click to preset number for select..."));
    m_saveFileButton->setText(tr("Save to file..."));
    m_loadFileButton->setText(tr("Load from file..."));
    layoutTable();
}

void PresetsWindow::layoutTable() {
    // The columns start where their titles start in the header, in the header's font,
    // so the titles stand over their columns.
    const QString header = m_headerLabel->text();
    const QFontMetrics metrics(m_headerLabel->font());
    std::vector<qsizetype> starts = titleStarts(header);
    starts.resize(ColumnCount, header.size());
    int left[ColumnCount + 1];
    for (int c = 0; c < ColumnCount; ++c)
        left[c] = Margin + metrics.horizontalAdvance(header.left(starts[static_cast<size_t>(c)]));
    left[ColumnCount] = Margin + metrics.horizontalAdvance(header);
    const int tableWidth = left[ColumnCount] - Margin;
    m_headerLabel->setGeometry(Margin, HeaderTop, tableWidth + 20, RowHeight);

    const Column *columns[ColumnCount] = {&m_numberCells,  &m_carrierCells, &m_modulationCells,
                                          &m_modeCells,    &m_topCells,     &m_stepCells,
                                          &m_intervalCells};
    for (int r = 0; r < Presets::Count; ++r) {
        const int y = RowTop + r * RowHeight;
        if (r % 2 == 0)
            m_bands[static_cast<size_t>(r / 2)]->setGeometry(Margin, y, tableWidth, RowHeight);
        for (int c = 0; c < ColumnCount; ++c) {
            const int width = std::max(left[c + 1] - left[c] - CellGap, 1);
            (*columns[c])[static_cast<size_t>(r)]->setGeometry(left[c], y + 1, width,
                                                               RowHeight - 2);
        }
        // The number cell is a compact block at the left of its column.
        QLabel *number = m_numberCells[static_cast<size_t>(r)];
        number->setGeometry(left[0], y + 1, std::min(number->width(), 60), RowHeight - 2);
    }

    const int bottom = RowTop + Presets::Count * RowHeight + 10;
    // Close at the right as before; the two file buttons left of it, each as wide as
    // the style wants for its caption in the language shown; the hint fills the room
    // left of them.
    const int closeLeft = left[ColumnCount] - 100;
    m_closeButton->setGeometry(closeLeft, bottom, 100, 30);
    const auto buttonWidth = [](const QPushButton *b) { return b->sizeHint().width(); };
    const int loadLeft = closeLeft - CellGap - buttonWidth(m_loadFileButton);
    m_loadFileButton->setGeometry(loadLeft, bottom, buttonWidth(m_loadFileButton), 30);
    const int saveLeft = loadLeft - CellGap - buttonWidth(m_saveFileButton);
    m_saveFileButton->setGeometry(saveLeft, bottom, buttonWidth(m_saveFileButton), 30);
    m_hintLabel->setGeometry(Margin, bottom + 4, std::max(saveLeft - CellGap - Margin, 1), 24);
    setFixedSize(left[ColumnCount] + Margin + 20, bottom + 30 + Margin);
}

void PresetsWindow::setRow(int number, const Presets::RowTexts &row) {
    if (number < 1 || number > Presets::Count)
        return;
    const auto r = static_cast<size_t>(number - 1);
    m_numberCells[r]->setText(row.number);
    m_carrierCells[r]->setText(row.carrier);
    m_modulationCells[r]->setText(row.modulation);
    m_modeCells[r]->setText(row.mode);
    m_topCells[r]->setText(row.top);
    m_stepCells[r]->setText(row.step);
    m_intervalCells[r]->setText(row.interval);
}

Presets::RowTexts PresetsWindow::row(int number) const {
    if (number < 1 || number > Presets::Count)
        return {};
    const auto r = static_cast<size_t>(number - 1);
    return {m_numberCells[r]->text(),  m_carrierCells[r]->text(), m_modulationCells[r]->text(),
            m_modeCells[r]->text(),    m_topCells[r]->text(),     m_stepCells[r]->text(),
            m_intervalCells[r]->text()};
}

int PresetsWindow::numberOf(QObject *cell) const {
    for (size_t r = 0; r < m_numberCells.size(); ++r)
        if (m_numberCells[r] == cell)
            return static_cast<int>(r) + 1;
    return 0;
}

bool PresetsWindow::eventFilter(QObject *watched, QEvent *event) {
    const int number = numberOf(watched);
    if (number == 0)
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::MouseMove:
        highlight(number);
        break;
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton &&
            m_numberCells[static_cast<size_t>(number - 1)]->rect().contains(
                mouse->position().toPoint()))
            choose(number);
        return true;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void PresetsWindow::highlight(int number) {
    if (number == m_highlighted)
        return;
    for (QLabel *cell : m_numberCells)
        setBackground(cell, NumberBackground);
    setBackground(m_numberCells[static_cast<size_t>(number - 1)], HighlightColour);
    m_highlighted = number;
}

void PresetsWindow::choose(int number) {
    if (m_fileWorkRunning)
        return;
    m_chosen = number;
    hide();
}

void PresetsWindow::setFileWorkRunning(bool running) {
    m_fileWorkRunning = running;
    for (QPushButton *button : {m_closeButton, m_saveFileButton, m_loadFileButton})
        button->setEnabled(!running);
}

void PresetsWindow::reject() {
    // Escape or the window's own close control: no choice.
    if (m_fileWorkRunning)
        return;
    choose(0);
    QDialog::reject();
}

void PresetsWindow::closeEvent(QCloseEvent *event) {
    if (m_fileWorkRunning) {
        event->ignore();
        return;
    }
    m_chosen = 0;
    QDialog::closeEvent(event);
}

void PresetsWindow::showEvent(QShowEvent *event) {
    m_chosen = 0;
    QDialog::showEvent(event);
    if (const QScreen *s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
}
