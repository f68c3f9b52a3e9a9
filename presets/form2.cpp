#include "presets/form2.h"

#include "link/devicestate.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

const QColor Form2::NumberBackground(192, 192, 255);
const QColor Form2::HighlightColour(255, 0, 0);

namespace {
const QString Header = QStringLiteral(
    "Preset               Carrier freq.    Modulation freq.   Mode                   Top freq.  "
    "            Step            Interval     ");
// The column titles in the header, left to right; each column starts under its title.
const char *const Titles[] = {"Preset",    "Carrier freq.", "Modulation freq.", "Mode",
                              "Top freq.", "Step",          "Interval"};
constexpr int Margin = 10;
constexpr int HeaderTop = 8;
constexpr int RowTop = 34;
constexpr int RowHeight = 22;
constexpr int CellGap = 6;

void setBackground(QLabel *label, const QColor &colour) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, colour);
    label->setPalette(pal);
}
} // namespace

Form2::Form2(DeviceState &state, QWidget *parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("KVT Presets"));
    setModal(true);

    Label1 = new QLabel(Header, this);
    Label1->setObjectName(QStringLiteral("Label1"));

    // The columns start where their titles start in the header, in the header's font,
    // so the titles stand over their columns; the header's last blanks end the table.
    const QFontMetrics metrics(Label1->font());
    int left[8];
    qsizetype from = 0;
    for (int c = 0; c < 7; ++c) {
        from = Header.indexOf(QLatin1String(Titles[c]), from);
        left[c] = Margin + metrics.horizontalAdvance(Header.left(from));
    }
    left[7] = Margin + metrics.horizontalAdvance(Header);
    const int tableWidth = left[7] - Margin;
    Label1->setGeometry(Margin, HeaderTop, tableWidth + 20, RowHeight);

    Column *columns[7] = {&Label2, &Label4, &Label5, &Label3, &Label6, &Label7, &Label8};
    const char *names[7] = {"Label2", "Label4", "Label5", "Label3", "Label6", "Label7", "Label8"};
    for (int r = 0; r < Presets::Count; ++r) {
        const int y = RowTop + r * RowHeight;
        if (r % 2 == 0) {
            // Presets 1, 3, 5, ... lie on a white band.
            auto *band = new QWidget(this);
            band->setObjectName(QStringLiteral("Band%1").arg(r + 1));
            band->setAutoFillBackground(true);
            QPalette pal = band->palette();
            pal.setColor(QPalette::Window, Qt::white);
            band->setPalette(pal);
            band->setGeometry(Margin, y, tableWidth, RowHeight);
            band->lower();
        }
        for (int c = 0; c < 7; ++c) {
            auto *cell = new QLabel(this);
            cell->setObjectName(QStringLiteral("%1(%2)").arg(QLatin1String(names[c])).arg(r));
            const int width = left[c + 1] - left[c] - CellGap;
            cell->setGeometry(left[c], y + 1, width, RowHeight - 2);
            (*columns[c])[static_cast<size_t>(r)] = cell;
        }
        QLabel *number = Label2[static_cast<size_t>(r)];
        number->setText(QString::number(r + 1));
        number->setAlignment(Qt::AlignCenter);
        number->setAutoFillBackground(true);
        setBackground(number, NumberBackground);
        number->setCursor(Qt::PointingHandCursor);
        number->setMouseTracking(true);
        number->installEventFilter(this);
        for (Column *col : {&Label4, &Label5, &Label6, &Label7, &Label8})
            (*col)[static_cast<size_t>(r)]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Label3[static_cast<size_t>(r)]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        // The number cell is a compact block at the left of its column.
        const int w = std::min(number->width(), 60);
        number->setGeometry(left[0], y + 1, w, RowHeight - 2);
    }

    const int bottom = RowTop + Presets::Count * RowHeight + 10;
    Label9 = new QLabel(QStringLiteral("Click to preset number for select..."), this);
    Label9->setObjectName(QStringLiteral("Label9"));
    Label9->setGeometry(Margin, bottom + 4, tableWidth - 120, 24);
    Command1 = new QPushButton(QStringLiteral("Close"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(left[7] - 100, bottom, 100, 30);
    Command1->setAutoDefault(false);
    connect(Command1, &QPushButton::clicked, this, [this] { choose(0); });

    setFixedSize(left[7] + Margin + 20, bottom + 30 + Margin);
}

void Form2::setRow(int number, const Presets::RowTexts &row) {
    if (number < 1 || number > Presets::Count)
        return;
    const auto r = static_cast<size_t>(number - 1);
    Label2[r]->setText(row.number);
    Label4[r]->setText(row.carrier);
    Label5[r]->setText(row.modulation);
    Label3[r]->setText(row.mode);
    Label6[r]->setText(row.top);
    Label7[r]->setText(row.step);
    Label8[r]->setText(row.interval);
}

Presets::RowTexts Form2::row(int number) const {
    if (number < 1 || number > Presets::Count)
        return {};
    const auto r = static_cast<size_t>(number - 1);
    return {Label2[r]->text(), Label4[r]->text(), Label5[r]->text(), Label3[r]->text(),
            Label6[r]->text(), Label7[r]->text(), Label8[r]->text()};
}

int Form2::numberOf(QObject *cell) const {
    for (size_t r = 0; r < Label2.size(); ++r)
        if (Label2[r] == cell)
            return static_cast<int>(r) + 1;
    return 0;
}

bool Form2::eventFilter(QObject *watched, QEvent *event) {
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
            Label2[static_cast<size_t>(number - 1)]->rect().contains(mouse->position().toPoint()))
            choose(number);
        return true;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void Form2::highlight(int number) {
    if (number == m_highlighted)
        return;
    for (QLabel *cell : Label2)
        setBackground(cell, NumberBackground);
    setBackground(Label2[static_cast<size_t>(number - 1)], HighlightColour);
    m_highlighted = number;
}

void Form2::choose(int number) {
    m_state.SelectedPreset = static_cast<int16_t>(number);
    hide();
}

void Form2::reject() {
    // Escape or the window's own close control: no choice.
    choose(0);
    QDialog::reject();
}

void Form2::closeEvent(QCloseEvent *event) {
    m_state.SelectedPreset = 0;
    QDialog::closeEvent(event);
}

void Form2::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (const QScreen *s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
}
