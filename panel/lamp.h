#pragma once

#include <QColor>
#include <QLabel>
#include <QWidget>

// An indicator lamp of the panel: a small filled circle, pure red when lit, black when
// unlit (dark grey before the panel was first drawn). Accessibility tools read its
// state from the accessible description ("lit" / "unlit").
class Lamp final : public QWidget {
    Q_OBJECT
public:
    Lamp(const QString &accessibleName, QWidget *parent = nullptr);

    void setLit(bool lit);
    bool isLit() const { return m_lit; }
    QColor fill() const { return m_fill; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_lit = false;
    QColor m_fill{0x30, 0x30, 0x30};
};

// A readout label that reacts to a mouse click (the carrier and modulation readouts
// open their dialogs).
class ClickLabel final : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};
