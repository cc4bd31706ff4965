#include "mainwindow/controls/HBCustomBox.h"

#include <QPainter>

HBCustomBox::HBCustomBox(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void HBCustomBox::setFillColor(const QColor& color)
{
    m_fillColor = color;
    update();
}

void HBCustomBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal inset = m_borderWidth / 2;
    const QRectF box = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    painter.setPen(QPen(m_borderColor, m_borderWidth));
    painter.setBrush(m_fillColor);
    painter.drawRoundedRect(box, 8, 8);
}
