#include "panel/lamp.h"

#include <QMouseEvent>
#include <QPainter>

Lamp::Lamp(const QString &accessibleName, QWidget *parent) : QWidget(parent) {
    setAccessibleName(accessibleName);
    setAccessibleDescription(QStringLiteral("unlit"));
    setFixedSize(18, 18);
}

void Lamp::setLit(bool lit) {
    const QColor fill = lit ? QColor(255, 0, 0) : QColor(0, 0, 0);
    if (m_lit == lit && m_fill == fill)
        return;
    m_lit = lit;
    m_fill = fill;
    setAccessibleDescription(lit ? QStringLiteral("lit") : QStringLiteral("unlit"));
    update();
}

void Lamp::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x90, 0x90, 0x90), 1.5));
    painter.setBrush(m_fill);
    painter.drawEllipse(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5));
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}
