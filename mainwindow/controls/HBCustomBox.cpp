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

void HBCustomBox::setShowsFocusRing(bool shows)
{
    m_focusRing = shows;
    update();
}

void HBCustomBox::setDropHighlighted(bool highlighted)
{
    m_dropHighlight = highlighted;
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
    if (!m_focusRing && !m_dropHighlight)
        return;
    const QColor accent = palette().color(QPalette::Highlight);
    QColor wash = accent;
    wash.setAlphaF(0.35f);
    constexpr qreal ringWidth = 2.5;
    painter.setPen(QPen(m_dropHighlight ? accent.lighter(130) : accent, ringWidth));
    painter.setBrush(m_dropHighlight ? wash : QColor(Qt::transparent));
    painter.drawRoundedRect(QRectF(rect()).adjusted(ringWidth / 2, ringWidth / 2, -ringWidth / 2, -ringWidth / 2), 8,
                            8);
}
